// Shapes: array management, normals and the fixed-function draw.
//
// Index:
//   [SECTION] Shape data
//   [SECTION] Normals
//   [SECTION] Drawing
//   [SECTION] Quad
#include "media/Draw.h"

#include "media/DrawBatch.h"
#include "media/DrawState.h"
#include "media/GL.h"

#include <algorithm>
#include <cmath>

// [SECTION] Shape data

CShape::CShape(const CShape& other) : CDraw(other)
{
    *this = other;
}

CShape& CShape::operator=(const CShape& other)
{
    if (this == &other)
        return *this;
    mode = other.mode;
    transform = other.transform;
    material = other.material;
    hasColours = other.hasColours;
    scale = other.scale;
    positions = other.positions;
    texCoords = other.texCoords;
    normals = other.normals;
    colours = other.colours;
    indices = other.indices;
    faceNormals = other.faceNormals;
    vertexCount = other.vertexCount;
    indexCount = other.indexCount;
    SetRotation(other.rotation.x, other.rotation.y, other.rotation.z);
    return *this;
}

void CShape::SetVertexCount(uint32_t count)
{
    vertexCount = count;
    positions.assign(static_cast<size_t>(count) * 3, 0.0f);
    texCoords.assign(static_cast<size_t>(count) * 2, 0.0f);
    normals.assign(static_cast<size_t>(count) * 3, 0.0f);
    colours.assign(static_cast<size_t>(count) * 4, 255);
}

void CShape::SetIndexCount(uint32_t count)
{
    indexCount = count;
    indices.assign(count, 0);
    faceNormals.assign(count, 0.0f);
}

void CShape::InsertTextureSlot() { material.textures.insert(material.textures.begin(), 0u); }

void CShape::SetPosition(float x, float y, float z) { transform.SetTranslation(x, y, z); }

void CShape::SetRotation(float x, float y, float z)
{
    rotation = CVector(x, y, z);
    transform.SetRotation(x, y, z);
}

void CShape::SetScale(float x, float y, float z) { scale = CVector(x, y, z); }

CVector CShape::VertexPosition(uint32_t vertex)
{
    return vertex < vertexCount ? CVector::View(&positions[vertex * 3ull], 3) : CVector(0, 0, 0);
}

CVector CShape::VertexTexCoord(uint32_t vertex)
{
    return vertex < vertexCount ? CVector::View(&texCoords[vertex * 2ull], 2) : CVector(0, 0);
}

CVector CShape::VertexNormal(uint32_t vertex)
{
    return vertex < vertexCount ? CVector::View(&normals[vertex * 3ull], 3) : CVector(0, 0, 0);
}

uint8_t* CShape::VertexColour(uint32_t vertex)
{
    return vertex < vertexCount ? &colours[vertex * 4ull] : nullptr;
}

void CShape::SetVertexColour(uint32_t vertex, uint8_t r, uint8_t g, uint8_t b, uint8_t a)
{
    if (uint8_t* colour = VertexColour(vertex)) {
        colour[0] = r;
        colour[1] = g;
        colour[2] = b;
        colour[3] = a;
    }
}

// [SECTION] Normals

void CShape::ComputeNormals()
{
    std::fill(normals.begin(), normals.end(), 0.0f);
    const uint32_t count = std::min<uint32_t>(vertexCount, static_cast<uint32_t>(positions.size() / 3));
    auto point = [&](uint32_t v) { return CVector(positions[v * 3ull], positions[v * 3ull + 1], positions[v * 3ull + 2]); };
    // Adds the normal of triangle (a, b, c) to its vertices and returns it.
    auto triangle = [&](uint32_t a, uint32_t b, uint32_t c) {
        if (a >= count || b >= count || c >= count)
            return CVector(0, 0, 0);
        CVector p = point(a), q = point(b), r = point(c);
        CVector normal = (q - p).Cross3(p - r).Normalised3();
        for (uint32_t v : {a, b, c}) {
            normals[v * 3ull] += normal.x;
            normals[v * 3ull + 1] += normal.y;
            normals[v * 3ull + 2] += normal.z;
        }
        return normal;
    };

    if (indexCount > 0) {
        const uint32_t usable = std::min<uint32_t>(indexCount, static_cast<uint32_t>(indices.size()));
        for (uint32_t t = 0; t + 3 <= usable; t += 3) {
            CVector normal = triangle(indices[t], indices[t + 1], indices[t + 2]);
            if (t + 3 <= faceNormals.size()) {
                faceNormals[t] = normal.x;
                faceNormals[t + 1] = normal.y;
                faceNormals[t + 2] = normal.z;
            }
        }
    } else {
        switch (mode) {
        case 4: // GL_TRIANGLES
            for (uint32_t v = 0; v + 3 <= count; v += 3)
                triangle(v, v + 1, v + 2);
            break;
        case 5: // GL_TRIANGLE_STRIP
        case 8: // GL_QUAD_STRIP: the same triangles, wound the same way
            for (uint32_t v = 2; v < count; ++v)
                if ((v - 2) % 2 == 0)
                    triangle(v - 2, v - 1, v);
                else
                    triangle(v - 1, v - 2, v);
            break;
        case 6: // GL_TRIANGLE_FAN
        case 9: // GL_POLYGON
            for (uint32_t v = 2; v < count; ++v)
                triangle(0, v - 1, v);
            break;
        case 7: // GL_QUADS
            for (uint32_t v = 0; v + 4 <= count; v += 4) {
                triangle(v, v + 1, v + 2);
                triangle(v, v + 2, v + 3);
            }
            break;
        default:
            for (uint32_t v = 2; v < count; ++v)
                triangle(v - 2, v - 1, v);
            break;
        }
    }
    for (uint32_t v = 0; v < count; ++v) {
        CVector n = CVector(normals[v * 3ull], normals[v * 3ull + 1], normals[v * 3ull + 2]).Normalised3();
        normals[v * 3ull] = n.x;
        normals[v * 3ull + 1] = n.y;
        normals[v * 3ull + 2] = n.z;
    }
}

// [SECTION] Drawing

namespace {

// The buffer names the vertex-buffer path uses; nothing else in the program names buffers.
enum : GLuint { kPositionBuffer = 1, kTexCoordBuffer = 2, kNormalBuffer = 3, kColourBuffer = 4, kIndexBuffer = 5 };

// Hands an array to OpenGL: through a re-filled buffer when vertex buffers are on, straight
// from memory otherwise. Returns the pointer for gl*Pointer or glDrawElements (an offset of
// 0 into the bound buffer, or the memory itself).
const void* Upload(GLenum target, GLuint buffer, const void* data, size_t bytes)
{
    if (!g_glCaps.vertexBuffers)
        return data;
    g_gl.bindBuffer(target, buffer);
    g_gl.bufferData(target, static_cast<GLsizeiptrARB>(bytes), data, GL_DYNAMIC_DRAW_ARB);
    return nullptr;
}

} // namespace

void CShape::Draw()
{
    const float pixels = GetPixelScale();
    float* m = material.textureMatrix.Rows() == 4 && material.textureMatrix.Columns() == 4
                   ? material.textureMatrix.Data()
                   : nullptr;
    // The inset, in texture coordinates, for a frame selected by scale and offset alone.
    const float inset = material.texel * 0.5f * (1.0f - 1.0f / pixels);
    if (pixels > 1.0f && inset > 0.0f && m && m[1] == 0.0f && m[4] == 0.0f && std::fabs(m[0]) > 2.0f * inset &&
        std::fabs(m[5]) > 2.0f * inset) {
        const float kept[4] = {m[0], m[5], m[12], m[13]};
        m[12] += std::copysign(inset, m[0]);
        m[13] += std::copysign(inset, m[5]);
        m[0] -= std::copysign(2.0f * inset, m[0]);
        m[5] -= std::copysign(2.0f * inset, m[5]);
        DrawArrays();
        m[0] = kept[0];
        m[5] = kept[1];
        m[12] = kept[2];
        m[13] = kept[3];
        return;
    }
    DrawArrays();
}

void CShape::DrawArrays()
{
    if (BatchShape(*this))
        return;
    // Arrays that disagree with the counts (edited from outside) are drawn only as far as
    // they reach; indices naming missing vertices would make OpenGL read past them.
    uint32_t count = std::min({vertexCount, static_cast<uint32_t>(positions.size() / 3),
                               static_cast<uint32_t>(texCoords.size() / 2), static_cast<uint32_t>(normals.size() / 3),
                               static_cast<uint32_t>(colours.size() / 4)});
    uint32_t useIndices = std::min<uint32_t>(indexCount, static_cast<uint32_t>(indices.size()));
    for (uint32_t i = 0; i < useIndices; ++i)
        if (indices[i] >= count)
            return;
    if (count == 0)
        return;

    glPushMatrix();
    glMultMatrixf(transform.Data());
    glScalef(scale.x, scale.y, scale.z);

    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    if (hasColours) {
        glEnableClientState(GL_COLOR_ARRAY);
        glColorMaterial(GL_FRONT_AND_BACK, GL_DIFFUSE);
        glEnable(GL_COLOR_MATERIAL);
    }

    const size_t textureCount = material.textures.size();
    const bool multi = g_glCaps.multitexture && g_gl.activeTexture && g_gl.clientActiveTexture;
    // Texture coordinates are always given to unit 0 (the array is enabled there), and to
    // each further unit that has a texture.
    const uint32_t coordUnits =
        multi ? std::max<uint32_t>(1, std::min<uint32_t>(static_cast<uint32_t>(textureCount), g_glCaps.textureUnits)) : 1;

    glVertexPointer(3, GL_FLOAT, 0, Upload(GL_ARRAY_BUFFER_ARB, kPositionBuffer, positions.data(), count * 12ull));
    const void* coords = Upload(GL_ARRAY_BUFFER_ARB, kTexCoordBuffer, texCoords.data(), count * 8ull);
    for (uint32_t unit = 0; unit < coordUnits; ++unit) {
        if (multi)
            g_gl.clientActiveTexture(GL_TEXTURE0_ARB + unit);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexCoordPointer(2, GL_FLOAT, 0, coords);
    }
    if (multi)
        g_gl.clientActiveTexture(GL_TEXTURE0_ARB);
    glNormalPointer(GL_FLOAT, 0, Upload(GL_ARRAY_BUFFER_ARB, kNormalBuffer, normals.data(), count * 12ull));
    if (hasColours)
        glColorPointer(4, GL_UNSIGNED_BYTE, 0, Upload(GL_ARRAY_BUFFER_ARB, kColourBuffer, colours.data(), count * 4ull));

    glMaterialfv(GL_FRONT, GL_AMBIENT, material.ambient);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, material.diffuse);
    glMaterialfv(GL_FRONT, GL_EMISSION, material.emission);
    glMaterialfv(GL_FRONT, GL_SPECULAR, material.specular);
    glMaterialf(GL_FRONT, GL_SHININESS, std::clamp(material.shininess, 0.0f, 128.0f));

    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, material.additive ? GL_ONE : GL_ONE_MINUS_SRC_ALPHA);

    uint32_t textureUnits = 0;
    if (multi && textureCount > 1)
        textureUnits = std::min<uint32_t>(static_cast<uint32_t>(textureCount), g_glCaps.textureUnits);
    else if (textureCount > 0)
        textureUnits = 1;
    const bool selectUnits = multi && textureCount > 1;
    glMatrixMode(GL_TEXTURE);
    for (uint32_t unit = 0; unit < textureUnits; ++unit) {
        if (selectUnits)
            g_gl.activeTexture(GL_TEXTURE0_ARB + unit);
        glPushMatrix();
        glLoadMatrixf(material.textureMatrix.Data());
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, material.textures[unit]);
    }
    glMatrixMode(GL_MODELVIEW);

    if (useIndices > 0) {
        const void* at = Upload(GL_ELEMENT_ARRAY_BUFFER_ARB, kIndexBuffer, indices.data(), useIndices * 2ull);
        glDrawElements(mode, static_cast<GLsizei>(useIndices), GL_UNSIGNED_SHORT, at);
    } else {
        glDrawArrays(mode, 0, static_cast<GLsizei>(count));
    }

    // Undo: texture units, blending, colours, the extra coordinate arrays, buffers, matrix.
    glMatrixMode(GL_TEXTURE);
    for (uint32_t unit = textureUnits; unit-- > 0;) {
        if (selectUnits)
            g_gl.activeTexture(GL_TEXTURE0_ARB + unit);
        glPopMatrix();
        glDisable(GL_TEXTURE_2D);
    }
    glMatrixMode(GL_MODELVIEW);
    glDisable(GL_BLEND);
    if (hasColours) {
        glDisable(GL_COLOR_MATERIAL);
        glDisableClientState(GL_COLOR_ARRAY);
    }
    for (uint32_t unit = 1; unit < coordUnits; ++unit) {
        g_gl.clientActiveTexture(GL_TEXTURE0_ARB + unit);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    }
    if (multi)
        g_gl.clientActiveTexture(GL_TEXTURE0_ARB);
    if (g_glCaps.vertexBuffers) {
        g_gl.bindBuffer(GL_ARRAY_BUFFER_ARB, 0);
        g_gl.bindBuffer(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
    }
    glPopMatrix();
}

// [SECTION] Quad

CQuad::CQuad()
{
    CVertex corners[4];
    const float positions[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    const float coords[4][2] = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};
    for (int i = 0; i < 4; ++i) {
        corners[i].position[0] = positions[i][0];
        corners[i].position[1] = positions[i][1];
        corners[i].texCoord[0] = coords[i][0];
        corners[i].texCoord[1] = coords[i][1];
    }
    mode = GL_QUADS;
    SetVertexCount(4);
    for (uint32_t i = 0; i < 4; ++i)
        SetVertex(i, corners[i]);
}

CQuad::CQuad(const CVertex& a, const CVertex& b, const CVertex& c, const CVertex& d)
{
    mode = GL_QUADS;
    SetVertexCount(4);
    SetVertex(0, a);
    SetVertex(1, b);
    SetVertex(2, c);
    SetVertex(3, d);
}

void CQuad::SetVertex(uint32_t index, const CVertex& vertex)
{
    if (index >= vertexCount)
        return;
    std::copy(vertex.position, vertex.position + 3, &positions[index * 3]);
    std::copy(vertex.texCoord, vertex.texCoord + 2, &texCoords[index * 2]);
    std::copy(vertex.normal, vertex.normal + 3, &normals[index * 3]);
    std::copy(vertex.colour, vertex.colour + 4, &colours[index * 4]);
}

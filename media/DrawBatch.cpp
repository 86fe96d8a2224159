// Frame batching: filing shapes into runs, lighting on the CPU, and drawing the runs.
//
// Index:
//   [SECTION] State
//   [SECTION] Matrices and lighting
//   [SECTION] Filing
//   [SECTION] Drawing the runs
//   [SECTION] Interface
#include "media/DrawBatch.h"

#include "media/Draw.h"
#include "media/DrawState.h"
#include "media/GL.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

// [SECTION] State

namespace {

// Floats per vertex in a run: eye-space position (3), colour (4), texture coordinate (4).
constexpr size_t kStride = 11;
// How far back a shape looks for a run of its kind.
constexpr size_t kLookBack = 48;
// The buffer name the runs are drawn from (the immediate path uses names 1 to 5).
constexpr GLuint kBatchBuffer = 6;
constexpr int kLights = 8;

struct Light {
    bool on = false;
    float position[4];                   // eye space, as the context keeps it
    float ambient[4], diffuse[4], specular[4];
    float spotDirection[3];
    float spotExponent = 0, spotCutoff = 180;
    float attenuation[3];                // constant, linear, quadratic
};

// What filing reads from the context, refreshed after InvalidateBatchState.
struct Snapshot {
    bool valid = false;
    bool lighting = false, twoSided = false, localViewer = false, normalize = false;
    float sceneAmbient[4];
    float currentColour[4];
    Light lights[kLights];
    float projection[16];
    float viewport[4];
    bool scissorOn = false;
    int32_t scissor[4] = {0, 0, 0, 0};
    bool depthTest = false;
    GLint depthFunc = GL_LESS;
    bool depthWrites = true;
    bool defaultDepthRange = true;
};

struct RunKey {
    GLuint texture = 0;
    bool textured = false;
    bool additive = false;
    GLenum mode = GL_TRIANGLES;          // GL_POINTS, GL_LINES, GL_TRIANGLES or GL_QUADS
    // Every texel lookup of the run magnifies (or maps one to one), so the texture's
    // mipmapped minifying filter would never apply: the run samples with GL_LINEAR instead,
    // the same pixels at a fraction of the cost.
    bool linear = false;
    // Untextured, blended normally and opaque at every vertex: blending would give the
    // source colour itself, so the run is drawn without it.
    bool opaque = false;
    bool scissorOn = false;
    int32_t scissor[4] = {0, 0, 0, 0};

    bool operator==(const RunKey& o) const
    {
        return texture == o.texture && textured == o.textured && additive == o.additive && mode == o.mode &&
               linear == o.linear && opaque == o.opaque && scissorOn == o.scissorOn &&
               (!scissorOn || std::equal(scissor, scissor + 4, o.scissor));
    }
};

struct Box {
    float x0, y0, x1, y1;
    bool Overlaps(const Box& o) const { return x0 < o.x1 && o.x0 < x1 && y0 < o.y1 && o.y0 < y1; }
    Box Intersection(const Box& o) const
    {
        return Box{std::max(x0, o.x0), std::max(y0, o.y0), std::min(x1, o.x1), std::min(y1, o.y1)};
    }
    void Add(const Box& o)
    {
        x0 = std::min(x0, o.x0);
        y0 = std::min(y0, o.y0);
        x1 = std::max(x1, o.x1);
        y1 = std::max(y1, o.y1);
    }
};

struct Run {
    RunKey key;
    Box bounds;
    std::vector<float> vertices;
};

// A texture's level-0 size and whether it minifies through mipmaps while it magnifies with
// GL_LINEAR (the case where a magnified run may sample with GL_LINEAR throughout).
struct TextureInfo {
    GLuint name = 0;
    float width = 0, height = 0;
    bool mipmappedLinear = false;
};

// A filed shape's screen box and window depths, in filing order, for the depth proof.
struct ShapeRecord {
    Box box;
    float nearest, farthest;
};

struct Batch {
    int depth = 0;
    std::vector<ShapeRecord> records;    // the shapes filed since the last flush
    // The depth buffer holds one value everywhere (cleared to clearDepth) and nothing has
    // been drawn into it since.
    bool depthCleared = false;
    float clearDepth = 1.0f;
    std::vector<float> grid;             // the depth proof's nearest depth per cell
    Snapshot state;
    std::vector<float> modelView;        // a stack of column-major 4 × 4 matrices
    std::vector<Run> runs;
    size_t used = 0;                     // runs[0, used) are open; the rest keep their memory
    std::vector<float> scratch;          // the current shape's lit vertices, by vertex
    std::vector<uint8_t> done;           // which of them are lit
    std::vector<float> window;           // their window x and y, for the texel scale
    std::vector<TextureInfo> textures;   // what filing has read of textures, by name
    std::vector<float> upload;
    BatchStats stats;
};

Batch& TheBatch()
{
    static Batch batch;
    return batch;
}

void ReadState(Snapshot& s)
{
    s.lighting = glIsEnabled(GL_LIGHTING) == GL_TRUE;
    s.normalize = glIsEnabled(GL_NORMALIZE) == GL_TRUE;
    GLint flag = 0;
    glGetIntegerv(GL_LIGHT_MODEL_TWO_SIDE, &flag);
    s.twoSided = flag != 0;
    glGetIntegerv(GL_LIGHT_MODEL_LOCAL_VIEWER, &flag);
    s.localViewer = flag != 0;
    glGetFloatv(GL_LIGHT_MODEL_AMBIENT, s.sceneAmbient);
    glGetFloatv(GL_CURRENT_COLOR, s.currentColour);
    for (int i = 0; i < kLights; ++i) {
        Light& light = s.lights[i];
        const GLenum id = GL_LIGHT0 + static_cast<GLenum>(i);
        light.on = s.lighting && glIsEnabled(id) == GL_TRUE;
        if (!light.on)
            continue;
        glGetLightfv(id, GL_POSITION, light.position);
        glGetLightfv(id, GL_AMBIENT, light.ambient);
        glGetLightfv(id, GL_DIFFUSE, light.diffuse);
        glGetLightfv(id, GL_SPECULAR, light.specular);
        glGetLightfv(id, GL_SPOT_DIRECTION, light.spotDirection);
        glGetLightfv(id, GL_SPOT_EXPONENT, &light.spotExponent);
        glGetLightfv(id, GL_SPOT_CUTOFF, &light.spotCutoff);
        glGetLightfv(id, GL_CONSTANT_ATTENUATION, &light.attenuation[0]);
        glGetLightfv(id, GL_LINEAR_ATTENUATION, &light.attenuation[1]);
        glGetLightfv(id, GL_QUADRATIC_ATTENUATION, &light.attenuation[2]);
    }
    glGetFloatv(GL_PROJECTION_MATRIX, s.projection);
    glGetFloatv(GL_VIEWPORT, s.viewport);
    s.scissorOn = glIsEnabled(GL_SCISSOR_TEST) == GL_TRUE;
    glGetIntegerv(GL_SCISSOR_BOX, s.scissor);
    s.depthTest = glIsEnabled(GL_DEPTH_TEST) == GL_TRUE;
    glGetIntegerv(GL_DEPTH_FUNC, &s.depthFunc);
    GLboolean writes = GL_TRUE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &writes);
    s.depthWrites = writes == GL_TRUE;
    GLfloat range[2] = {0, 1};
    glGetFloatv(GL_DEPTH_RANGE, range);
    s.defaultDepthRange = range[0] == 0.0f && range[1] == 1.0f;
    s.valid = true;
}

const TextureInfo& InfoOf(Batch& batch, GLuint name)
{
    for (const TextureInfo& info : batch.textures)
        if (info.name == name)
            return info;
    TextureInfo info;
    info.name = name;
    GLint bound = 0, width = 0, height = 0, minFilter = 0, magFilter = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glBindTexture(GL_TEXTURE_2D, name);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
    info.width = static_cast<float>(width);
    info.height = static_cast<float>(height);
    info.mipmappedLinear = name != 0 && width > 0 && height > 0 && magFilter == GL_LINEAR &&
                           (minFilter == GL_LINEAR_MIPMAP_LINEAR || minFilter == GL_LINEAR_MIPMAP_NEAREST ||
                            minFilter == GL_NEAREST_MIPMAP_LINEAR || minFilter == GL_NEAREST_MIPMAP_NEAREST);
    batch.textures.push_back(info);
    return batch.textures.back();
}

// Whether every triangle of the filed vertices (in run order: quads or triangles) maps at
// most one texel to a pixel along each screen axis, by the scale factor OpenGL's level of
// detail is taken from; then the level of detail is never above 0 and the magnifying filter
// decides every lookup. Only affine mappings qualify (w and q of 1).
bool Magnifies(const std::vector<uint32_t>& order, const uint16_t* indices, GLenum mode,
               const std::vector<float>& lit, const std::vector<float>& window, const TextureInfo& texture)
{
    auto corner = [&](size_t at, float& x, float& y, float& u, float& v) {
        const uint32_t vertex = indices ? indices[order[at]] : order[at];
        const float* p = &lit[static_cast<size_t>(vertex) * kStride];
        x = window[vertex * 2ull];
        y = window[vertex * 2ull + 1];
        u = p[7] * texture.width;
        v = p[8] * texture.height;
        return p[10] == 1.0f;
    };
    auto triangle = [&](size_t a, size_t b, size_t c) {
        float x0, y0, u0, v0, x1, y1, u1, v1, x2, y2, u2, v2;
        if (!corner(a, x0, y0, u0, v0) || !corner(b, x1, y1, u1, v1) || !corner(c, x2, y2, u2, v2))
            return false;
        const float ax = x1 - x0, ay = y1 - y0, bx = x2 - x0, by = y2 - y0;
        const float det = ax * by - bx * ay;
        if (std::fabs(det) < 1e-6f)
            return true; // covers no pixel
        const float du = u1 - u0, dv = v1 - v0, eu = u2 - u0, ev = v2 - v0;
        const float dudx = (du * by - eu * ay) / det, dvdx = (dv * by - ev * ay) / det;
        const float dudy = (ax * eu - bx * du) / det, dvdy = (ax * ev - bx * dv) / det;
        const float scale = std::max(dudx * dudx + dvdx * dvdx, dudy * dudy + dvdy * dvdy);
        return scale <= 1.0002f;
    };
    if (mode == GL_QUADS) {
        for (size_t q = 0; q + 4 <= order.size(); q += 4)
            if (!triangle(q, q + 1, q + 2) || !triangle(q, q + 2, q + 3))
                return false;
        return true;
    }
    if (mode == GL_TRIANGLES) {
        for (size_t t = 0; t + 3 <= order.size(); t += 3)
            if (!triangle(t, t + 1, t + 2))
                return false;
        return true;
    }
    return false;
}

// [SECTION] Matrices and lighting

// Column-major 4 × 4 product a · b (b applied first, as glMultMatrix does).
void Multiply(const float* a, const float* b, float* out)
{
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            out[c * 4 + r] = a[r] * b[c * 4] + a[4 + r] * b[c * 4 + 1] + a[8 + r] * b[c * 4 + 2] + a[12 + r] * b[c * 4 + 3];
}

void Identity(float* m)
{
    std::fill(m, m + 16, 0.0f);
    m[0] = m[5] = m[10] = m[15] = 1.0f;
}

// The matrix that carries normals into eye space: the inverse transpose of the upper 3 × 3
// block (row-major here), as cofactors over the determinant.
void NormalMatrix(const float* m, float* n)
{
    const float a = m[0], b = m[4], c = m[8];
    const float d = m[1], e = m[5], f = m[9];
    const float g = m[2], h = m[6], i = m[10];
    const float cof[9] = {e * i - f * h, f * g - d * i, d * h - e * g,
                          c * h - b * i, a * i - c * g, b * g - a * h,
                          b * f - c * e, c * d - a * f, a * e - b * d};
    const float det = a * cof[0] + b * cof[1] + c * cof[2];
    const float scale = det != 0.0f ? 1.0f / det : 0.0f;
    for (int k = 0; k < 9; ++k)
        n[k] = cof[k] * scale;
}

float Dot3(const float* a, const float* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

void Normalise3(float* v)
{
    const float length = std::sqrt(Dot3(v, v));
    if (length > 0.0f)
        for (int k = 0; k < 3; ++k)
            v[k] /= length;
}

float Clamp01(float v) { return v < 0.0f ? 0.0f : v > 1.0f ? 1.0f : v; }

// The lit colour of a vertex at eye position p with eye normal n, for the material whose
// diffuse colour is diffuse (the vertex colour when the material tracks it).
void LitColour(const Snapshot& s, const CMaterial& material, const float* diffuse, const float* p, const float* n,
           float* out)
{
    float colour[3];
    for (int k = 0; k < 3; ++k)
        colour[k] = material.emission[k] + material.ambient[k] * s.sceneAmbient[k];
    const float shininess = std::clamp(material.shininess, 0.0f, 128.0f);
    for (const Light& light : s.lights) {
        if (!light.on)
            continue;
        float toLight[3];
        float attenuation = 1.0f;
        if (light.position[3] != 0.0f) {
            for (int k = 0; k < 3; ++k)
                toLight[k] = light.position[k] / light.position[3] - p[k];
            const float distance = std::sqrt(Dot3(toLight, toLight));
            if (light.attenuation[0] != 1.0f || light.attenuation[1] != 0.0f || light.attenuation[2] != 0.0f) {
                const float denominator =
                    light.attenuation[0] + light.attenuation[1] * distance + light.attenuation[2] * distance * distance;
                attenuation = denominator != 0.0f ? 1.0f / denominator : 0.0f;
            }
        } else {
            std::copy(light.position, light.position + 3, toLight);
        }
        Normalise3(toLight);
        if (light.spotCutoff != 180.0f) {
            float direction[3] = {light.spotDirection[0], light.spotDirection[1], light.spotDirection[2]};
            Normalise3(direction);
            const float cosine = -Dot3(toLight, direction);
            const float limit = std::cos(light.spotCutoff * 3.14159265358979f / 180.0f);
            attenuation *= cosine >= limit ? std::pow(std::max(cosine, 0.0f), light.spotExponent) : 0.0f;
        }
        const float facing = Dot3(n, toLight);
        const float diffuseFactor = std::max(facing, 0.0f);
        float specularFactor = 0.0f;
        if (facing > 0.0f) {
            float half[3];
            if (s.localViewer) {
                float eye[3] = {-p[0], -p[1], -p[2]};
                Normalise3(eye);
                for (int k = 0; k < 3; ++k)
                    half[k] = toLight[k] + eye[k];
            } else {
                half[0] = toLight[0];
                half[1] = toLight[1];
                half[2] = toLight[2] + 1.0f;
            }
            Normalise3(half);
            const float along = std::max(Dot3(n, half), 0.0f);
            specularFactor = shininess == 0.0f ? 1.0f : std::pow(along, shininess);
        }
        for (int k = 0; k < 3; ++k)
            colour[k] += attenuation * (material.ambient[k] * light.ambient[k] +
                                        diffuseFactor * diffuse[k] * light.diffuse[k] +
                                        specularFactor * material.specular[k] * light.specular[k]);
    }
    for (int k = 0; k < 3; ++k)
        out[k] = Clamp01(colour[k]);
    out[3] = Clamp01(diffuse[3]);
}

// Whether every vertex of a shape with this material gets the same lit colour (r, g, b into
// rgb); the alpha is the diffuse one either way.
bool UniformLight(const Snapshot& s, const CMaterial& material, bool tracksDiffuse, float* rgb)
{
    bool unlit = !tracksDiffuse, white = true, nonNegative = true;
    for (int k = 0; k < 3; ++k) {
        unlit = unlit && material.ambient[k] == 0.0f && material.diffuse[k] == 0.0f && material.specular[k] == 0.0f;
        white = white && material.emission[k] >= 1.0f;
        nonNegative = nonNegative && material.ambient[k] >= 0.0f && material.diffuse[k] >= 0.0f &&
                      material.specular[k] >= 0.0f && s.sceneAmbient[k] >= 0.0f;
        for (const Light& light : s.lights)
            if (light.on)
                nonNegative = nonNegative && light.ambient[k] >= 0.0f && light.diffuse[k] >= 0.0f &&
                              light.specular[k] >= 0.0f && light.attenuation[0] >= 0.0f &&
                              light.attenuation[1] >= 0.0f && light.attenuation[2] >= 0.0f;
    }
    if (unlit) {
        for (int k = 0; k < 3; ++k)
            rgb[k] = Clamp01(material.emission[k]);
        return true;
    }
    if (white && nonNegative) {
        rgb[0] = rgb[1] = rgb[2] = 1.0f;
        return true;
    }
    return false;
}

// [SECTION] Filing

// The primitive a run of this shape's mode draws, or 0 for a mode runs cannot take.
GLenum RunMode(uint32_t mode)
{
    switch (mode) {
    case GL_POINTS: return GL_POINTS;
    case GL_LINES:
    case GL_LINE_LOOP:
    case GL_LINE_STRIP: return GL_LINES;
    case GL_TRIANGLES:
    case GL_TRIANGLE_STRIP:
    case GL_TRIANGLE_FAN: return GL_TRIANGLES;
    case GL_QUADS: return GL_QUADS;
    default: return 0;
    }
}

// The vertex order the run's primitive needs for `count` vertices (or indices) of `mode`:
// strips and loops become separate lines, strips and fans separate triangles, with the
// vertices each of those primitives has in the original.
void Order(uint32_t mode, uint32_t count, std::vector<uint32_t>& order)
{
    order.clear();
    switch (mode) {
    case GL_LINE_STRIP:
    case GL_LINE_LOOP:
        for (uint32_t i = 0; i + 1 < count; ++i) {
            order.push_back(i);
            order.push_back(i + 1);
        }
        if (mode == GL_LINE_LOOP && count > 1) {
            order.push_back(count - 1);
            order.push_back(0);
        }
        break;
    case GL_TRIANGLE_STRIP:
        for (uint32_t i = 0; i + 2 < count; ++i) {
            if (i % 2 == 0)
                order.insert(order.end(), {i, i + 1, i + 2});
            else
                order.insert(order.end(), {i + 1, i, i + 2});
        }
        break;
    case GL_TRIANGLE_FAN:
        for (uint32_t i = 1; i + 1 < count; ++i)
            order.insert(order.end(), {0u, i, i + 1});
        break;
    default: {
        // Whole primitives only, as OpenGL draws them.
        const uint32_t per = mode == GL_POINTS ? 1 : mode == GL_LINES ? 2 : mode == GL_QUADS ? 4 : 3;
        const uint32_t whole = count - count % per;
        for (uint32_t i = 0; i < whole; ++i)
            order.push_back(i);
        break;
    }
    }
}

// The run to append a shape of this key and screen box to, opening one when needed.
Run& RunFor(Batch& batch, const RunKey& key, const Box& box)
{
    const size_t stop = batch.used > kLookBack ? batch.used - kLookBack : 0;
    for (size_t i = batch.used; i-- > stop;) {
        Run& run = batch.runs[i];
        if (run.key == key) {
            run.bounds.Add(box);
            return run;
        }
        if (run.bounds.Overlaps(box))
            break;
    }
    if (batch.used == batch.runs.size())
        batch.runs.emplace_back();
    Run& run = batch.runs[batch.used++];
    run.key = key;
    run.bounds = box;
    run.vertices.clear();
    return run;
}

bool File(Batch& batch, const CShape& shape)
{
    if (!batch.state.valid)
        ReadState(batch.state);
    const Snapshot& s = batch.state;

    // The same checks as drawing at once: arrays shorter than the counts are drawn as far as
    // they reach; an index naming a missing vertex means nothing is drawn.
    const uint32_t count = std::min({shape.VertexCount(), static_cast<uint32_t>(shape.positions.size() / 3),
                                     static_cast<uint32_t>(shape.texCoords.size() / 2),
                                     static_cast<uint32_t>(shape.normals.size() / 3),
                                     static_cast<uint32_t>(shape.colours.size() / 4)});
    const uint32_t indexCount = std::min<uint32_t>(shape.IndexCount(), static_cast<uint32_t>(shape.indices.size()));
    for (uint32_t i = 0; i < indexCount; ++i)
        if (shape.indices[i] >= count)
            return true;
    if (count == 0)
        return true;

    const CMaterial& material = shape.material;
    const size_t textureCount = material.textures.size();
    const bool multi = g_glCaps.multitexture && g_gl.activeTexture && g_gl.clientActiveTexture;
    const GLenum mode = RunMode(shape.mode);
    if ((multi && textureCount > 1 && g_glCaps.textureUnits > 1) || mode == 0 || s.twoSided)
        return false;

    // The whole transform: model-view, the shape's own, its scale.
    const float* modelView = &batch.modelView[batch.modelView.size() - 16];
    float own[16], scaled[16];
    const float* transform = shape.transform.Rows() == 4 && shape.transform.Columns() == 4 ? shape.transform.Data() : nullptr;
    if (transform)
        Multiply(modelView, transform, own);
    else
        std::copy(modelView, modelView + 16, own);
    std::copy(own, own + 16, scaled);
    for (int r = 0; r < 4; ++r) {
        scaled[r] *= shape.scale.x;
        scaled[4 + r] *= shape.scale.y;
        scaled[8 + r] *= shape.scale.z;
    }
    float normalMatrix[9];
    NormalMatrix(scaled, normalMatrix);
    const bool textured = textureCount > 0;
    const float* textureMatrix =
        material.textureMatrix.Rows() == 4 && material.textureMatrix.Columns() == 4 ? material.textureMatrix.Data() : nullptr;

    // Most looks need no per-vertex lighting: one lit only by its emission has that colour,
    // and one whose emission is already white in every channel stays white (every other
    // term only adds, when no colour involved is negative).
    float uniform[3];
    const bool uniformLight = s.lighting && UniformLight(s, material, shape.hasColours, uniform);

    static thread_local std::vector<uint32_t> order;
    Order(shape.mode, indexCount > 0 ? indexCount : count, order);
    if (order.empty())
        return true;

    // Light each vertex used once, then lay the run's vertices out in primitive order.
    std::vector<float>& lit = batch.scratch;
    lit.resize(static_cast<size_t>(count) * kStride);
    std::vector<uint8_t>& done = batch.done;
    done.assign(count, 0);
    std::vector<float>& window = batch.window;
    window.assign(static_cast<size_t>(count) * 2, 0.0f);
    Box box{1e30f, 1e30f, -1e30f, -1e30f};
    bool behind = false, projective = false;
    float nearest = 1e30f, farthest = -1e30f;
    auto prepare = [&](uint32_t v) {
        if (done[v])
            return;
        done[v] = 1;
        float* out = &lit[static_cast<size_t>(v) * kStride];
        const float* in = &shape.positions[v * 3ull];
        float eye[4];
        for (int r = 0; r < 4; ++r)
            eye[r] = scaled[r] * in[0] + scaled[4 + r] * in[1] + scaled[8 + r] * in[2] + scaled[12 + r];
        const float w = eye[3] != 0.0f ? eye[3] : 1.0f;
        const float point[3] = {eye[0] / w, eye[1] / w, eye[2] / w};
        out[0] = eye[0];
        out[1] = eye[1];
        out[2] = eye[2];
        // Where it lands on screen, for the overlap test.
        float clip[4];
        for (int r = 0; r < 4; ++r)
            clip[r] = s.projection[r] * eye[0] + s.projection[4 + r] * eye[1] + s.projection[8 + r] * eye[2] +
                      s.projection[12 + r] * eye[3];
        if (clip[3] <= 0.0f) {
            behind = true;
        } else {
            const float x = s.viewport[0] + (clip[0] / clip[3] * 0.5f + 0.5f) * s.viewport[2];
            const float y = s.viewport[1] + (clip[1] / clip[3] * 0.5f + 0.5f) * s.viewport[3];
            window[v * 2ull] = x;
            window[v * 2ull + 1] = y;
            const float z = clip[2] / clip[3] * 0.5f + 0.5f;
            nearest = std::min(nearest, z);
            farthest = std::max(farthest, z);
            projective = projective || clip[3] != 1.0f;
            box.x0 = std::min(box.x0, x);
            box.y0 = std::min(box.y0, y);
            box.x1 = std::max(box.x1, x);
            box.y1 = std::max(box.y1, y);
        }
        // Colour.
        float vertexColour[4];
        const uint8_t* bytes = &shape.colours[v * 4ull];
        for (int k = 0; k < 4; ++k)
            vertexColour[k] = static_cast<float>(bytes[k]) / 255.0f;
        if (s.lighting && uniformLight) {
            out[3] = uniform[0];
            out[4] = uniform[1];
            out[5] = uniform[2];
            out[6] = Clamp01(shape.hasColours ? vertexColour[3] : material.diffuse[3]);
        } else if (s.lighting) {
            const float* normal = &shape.normals[v * 3ull];
            float n[3];
            for (int r = 0; r < 3; ++r)
                n[r] = normalMatrix[r * 3] * normal[0] + normalMatrix[r * 3 + 1] * normal[1] + normalMatrix[r * 3 + 2] * normal[2];
            if (s.normalize)
                Normalise3(n);
            LitColour(s, material, shape.hasColours ? vertexColour : material.diffuse, point, n, out + 3);
        } else {
            const float* colour = shape.hasColours ? vertexColour : s.currentColour;
            for (int k = 0; k < 4; ++k)
                out[3 + k] = Clamp01(colour[k]);
        }
        // Texture coordinate through the texture matrix.
        const float* tc = &shape.texCoords[v * 2ull];
        if (textured && textureMatrix) {
            for (int r = 0; r < 4; ++r)
                out[7 + r] = textureMatrix[r] * tc[0] + textureMatrix[4 + r] * tc[1] + textureMatrix[12 + r];
        } else {
            out[7] = tc[0];
            out[8] = tc[1];
            out[9] = 0.0f;
            out[10] = 1.0f;
        }
    };
    for (uint32_t at : order)
        prepare(indexCount > 0 ? shape.indices[at] : at);

    // Triangles and quads cover only pixels whose centres lie inside: shapes whose tight
    // boxes touch share none. Lines and points reach a little further: half their width (the
    // zoom's pixels, see Flush) and a pixel.
    const float reachOut = 1.0f + std::max(GetPixelScale(), 1.0f);
    Box tight = box;
    if (mode == GL_LINES || mode == GL_POINTS)
        tight = Box{box.x0 - reachOut, box.y0 - reachOut, box.x1 + reachOut, box.y1 + reachOut};
    // For the runs' overlap test, a pixel of margin on every side.
    const float margin = mode == GL_LINES || mode == GL_POINTS ? reachOut : 1.0f;
    if (behind)
        box = Box{-1e30f, -1e30f, 1e30f, 1e30f};
    else
        box = Box{box.x0 - margin, box.y0 - margin, box.x1 + margin, box.y1 + margin};

    // A shape wholly outside the viewport or the scissor box draws nothing: it is dropped
    // before it costs the renderer anything.
    Box area{s.viewport[0], s.viewport[1], s.viewport[0] + s.viewport[2], s.viewport[1] + s.viewport[3]};
    if (s.scissorOn)
        area = area.Intersection(Box{static_cast<float>(s.scissor[0]), static_cast<float>(s.scissor[1]),
                                     static_cast<float>(s.scissor[0] + s.scissor[2]),
                                     static_cast<float>(s.scissor[1] + s.scissor[3])});
    if (!behind && !box.Overlaps(area)) {
        ++batch.stats.culled;
        return true;
    }

    RunKey key;
    if (textured && !behind && !projective && (mode == GL_QUADS || mode == GL_TRIANGLES)) {
        const TextureInfo& info = InfoOf(batch, material.textures[0]);
        key.linear = info.mipmappedLinear &&
                     Magnifies(order, indexCount > 0 ? shape.indices.data() : nullptr, mode, lit, window, info);
    }
    key.textured = textured;
    key.texture = textured ? material.textures[0] : 0;
    key.additive = material.additive;
    if (!textured && !material.additive) {
        key.opaque = true;
        for (uint32_t at : order)
            if (lit[static_cast<size_t>(indexCount > 0 ? shape.indices[at] : at) * kStride + 6] < 1.0f) {
                key.opaque = false;
                break;
            }
    }
    key.mode = mode;
    key.scissorOn = s.scissorOn;
    std::copy(s.scissor, s.scissor + 4, key.scissor);
    Run& run = RunFor(batch, key, box);
    // Fragments outside the viewport and the scissor box do not exist, for the depth proof
    // either.
    const Box reach = (behind ? box : tight).Intersection(area);
    if (reach.x0 < reach.x1 && reach.y0 < reach.y1)
        batch.records.push_back(ShapeRecord{reach, projective ? -1e30f : nearest, projective ? 1e30f : farthest});
    const size_t start = run.vertices.size();
    run.vertices.resize(start + order.size() * kStride);
    float* to = &run.vertices[start];
    auto vertexAt = [&](size_t i) { return indexCount > 0 ? shape.indices[order[i]] : order[i]; };
    for (size_t i = 0; i < order.size(); ++i) {
        const float* from = &lit[static_cast<size_t>(vertexAt(i)) * kStride];
        // A line that starts where it ends exits no pixel's diamond and draws nothing (a
        // trace's flat stretches give many); it is left out.
        if (mode == GL_LINES && i % 2 == 0 && i + 1 < order.size()) {
            const float* end = &lit[static_cast<size_t>(vertexAt(i + 1)) * kStride];
            if (from[0] == end[0] && from[1] == end[1] && from[2] == end[2]) {
                ++i;
                continue;
            }
        }
        std::memcpy(to, from, kStride * sizeof(float));
        to += kStride;
    }
    run.vertices.resize(static_cast<size_t>(to - run.vertices.data()));
    ++batch.stats.shapes;
    return true;
}

// [SECTION] Drawing the runs

// glEnable or glDisable, without the wrappers' flush (this is the flush).
void Toggle(GLenum capability, bool on)
{
    if (on)
        glEnable(capability);
    else
        glDisable(capability);
}

// Whether every fragment of the filed shapes passes the depth test, so that drawing them
// without it gives the same picture: the buffer was cleared and nothing drawn since, the test
// is less-or-equal (or less), and each shape is no farther than every earlier shape that
// shares a pixel with it (nor than the clear value). Shapes share no pixel when their screen
// boxes only touch. Depths equal as floats come from equal eye depths under the same
// orthographic projection, which OpenGL maps to equal depths too; otherwise a margin is kept.
bool DepthTestPasses(Batch& batch)
{
    const Snapshot& s = batch.state;
    if (!s.valid || !s.depthTest || !batch.depthCleared || !s.defaultDepthRange ||
        (s.depthFunc != GL_LEQUAL && s.depthFunc != GL_LESS))
        return false;
    const float* p = s.projection;
    if (p[2] != 0.0f || p[6] != 0.0f || p[3] != 0.0f || p[7] != 0.0f || p[11] != 0.0f || p[15] != 1.0f)
        return false; // depth must not vary across a shape parallel to the screen
    constexpr float kMargin = 1e-5f;
    const bool equalPasses = s.depthFunc == GL_LEQUAL;
    auto noFarther = [equalPasses](float depth, float than) {
        return depth < than - kMargin || (equalPasses && depth == than);
    };
    const std::vector<ShapeRecord>& shapes = batch.records;
    for (size_t i = 0; i < shapes.size(); ++i) {
        const ShapeRecord& shape = shapes[i];
        if (shape.nearest < -1e29f)
            return false; // its depth is not known
        if (batch.clearDepth < 1.0f && !noFarther(shape.farthest, batch.clearDepth))
            return false;
        for (size_t j = 0; j < i; ++j) {
            const ShapeRecord& earlier = shapes[j];
            if (!noFarther(shape.farthest, earlier.nearest) && earlier.box.Overlaps(shape.box))
                return false;
        }
    }
    return true;
}

void Flush(Batch& batch, bool depthEnds)
{
    if (batch.used == 0)
        return;
    std::vector<float>& all = batch.upload;
    all.clear();
    for (size_t i = 0; i < batch.used; ++i)
        all.insert(all.end(), batch.runs[i].vertices.begin(), batch.runs[i].vertices.end());

    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_SCISSOR_BIT | GL_TEXTURE_BIT | GL_LINE_BIT | GL_POINT_BIT);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    const bool multi = g_glCaps.multitexture && g_gl.activeTexture && g_gl.clientActiveTexture;
    if (multi) {
        g_gl.activeTexture(GL_TEXTURE0_ARB);
        g_gl.clientActiveTexture(GL_TEXTURE0_ARB);
    }
    glMatrixMode(GL_TEXTURE);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glDisable(GL_COLOR_MATERIAL);
    glEnable(GL_BLEND);
    // Nothing reads the depth buffer again before it is cleared: when no fragment can fail
    // the test, drawing without it saves reading and writing depth for every pixel.
    const bool withoutDepth = depthEnds && DepthTestPasses(batch);
    if (withoutDepth)
        glDisable(GL_DEPTH_TEST);

    const float* base = all.data();
    if (g_glCaps.vertexBuffers) {
        g_gl.bindBuffer(GL_ARRAY_BUFFER_ARB, kBatchBuffer);
        g_gl.bufferData(GL_ARRAY_BUFFER_ARB, static_cast<GLsizeiptrARB>(all.size() * sizeof(float)), all.data(),
                        GL_STREAM_DRAW_ARB);
        base = nullptr;
    }
    const GLsizei stride = static_cast<GLsizei>(kStride * sizeof(float));
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(3, GL_FLOAT, stride, base);
    glColorPointer(4, GL_FLOAT, stride, base + 3);
    glTexCoordPointer(4, GL_FLOAT, stride, base + 7);

    // A line or point is as thick as a unit under the zoom, like everything around it (a
    // trace at 200 % is two pixels wide, not a hairline).
    const float thickness = std::max(GetPixelScale(), 1.0f);
    if (thickness != 1.0f) {
        glLineWidth(thickness);
        glPointSize(thickness);
    }
    bool first = true;
    RunKey last;
    GLint at = 0;
    GLint lastMinFilter = GL_LINEAR;
    for (size_t i = 0; i < batch.used; ++i) {
        const Run& run = batch.runs[i];
        const RunKey& key = run.key;
        if (first || key.textured != last.textured)
            Toggle(GL_TEXTURE_2D, key.textured);
        const bool rebind = key.textured && (first || !last.textured || key.texture != last.texture);
        if (!first && last.textured && last.linear && (rebind || !key.linear))
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, lastMinFilter); // as it was
        if (rebind)
            glBindTexture(GL_TEXTURE_2D, key.texture);
        if (key.textured && key.linear && (rebind || !last.linear)) {
            glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &lastMinFilter);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        }
        if (first || key.additive != last.additive)
            glBlendFunc(GL_SRC_ALPHA, key.additive ? GL_ONE : GL_ONE_MINUS_SRC_ALPHA);
        if (first || key.opaque != last.opaque)
            Toggle(GL_BLEND, !key.opaque);
        if (first || key.scissorOn != last.scissorOn)
            Toggle(GL_SCISSOR_TEST, key.scissorOn);
        if (key.scissorOn && (first || !last.scissorOn || !std::equal(key.scissor, key.scissor + 4, last.scissor)))
            glScissor(key.scissor[0], key.scissor[1], key.scissor[2], key.scissor[3]);
        const GLsizei count = static_cast<GLsizei>(run.vertices.size() / kStride);
        glDrawArrays(key.mode, at, count);
        at += count;
        ++batch.stats.draws;
        batch.stats.magnified += key.textured && key.linear;
        batch.stats.opaque += key.opaque;
        batch.stats.vertices += static_cast<uint32_t>(count);
        last = key;
        first = false;
    }

    if (!first && last.textured && last.linear)
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, lastMinFilter);
    if (g_glCaps.vertexBuffers)
        g_gl.bindBuffer(GL_ARRAY_BUFFER_ARB, 0);
    glMatrixMode(GL_TEXTURE);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopClientAttrib();
    glPopAttrib();
    batch.used = 0;
    batch.records.clear();
    batch.depthCleared = false;
    batch.stats.depthFree += withoutDepth;
    ++batch.stats.flushes;
}

} // namespace

// [SECTION] Interface

void BeginBatch()
{
    Batch& batch = TheBatch();
    if (batch.depth++ > 0)
        return;
    batch.stats = BatchStats{};
    batch.state.valid = false;
    batch.textures.clear(); // read again each frame: a new context may reuse the names
    batch.used = 0;
    batch.modelView.assign(16, 0.0f);
    glGetFloatv(GL_MODELVIEW_MATRIX, batch.modelView.data());
}

void EndBatch()
{
    Batch& batch = TheBatch();
    if (batch.depth == 0)
        return;
    if (--batch.depth > 0)
        return;
    // A batch closes at the end of a frame: the next one starts with a clear.
    Flush(batch, true);
    batch.modelView.clear();
}

bool IsBatching() { return TheBatch().depth > 0; }

void FlushBatch(bool depthClearedNext)
{
    Batch& batch = TheBatch();
    if (batch.depth > 0)
        Flush(batch, depthClearedNext);
}

BatchStats GetBatchStats() { return TheBatch().stats; }

bool BatchShape(const CShape& shape)
{
    Batch& batch = TheBatch();
    if (batch.depth == 0)
        return false;
    if (File(batch, shape))
        return true;
    Flush(batch, false);
    batch.depthCleared = false; // drawn at once, into the depth buffer
    ++batch.stats.immediate;
    return false;
}

void InvalidateBatchState(bool depthClearedNext)
{
    Batch& batch = TheBatch();
    if (batch.depth == 0)
        return;
    Flush(batch, depthClearedNext);
    batch.state.valid = false;
}

void BatchNoteDepthCleared()
{
    Batch& batch = TheBatch();
    if (batch.depth == 0)
        return;
    batch.depthCleared = true;
    glGetFloatv(GL_DEPTH_CLEAR_VALUE, &batch.clearDepth);
}

void BatchPushModelView(const float* multiply)
{
    Batch& batch = TheBatch();
    if (batch.depth == 0)
        return;
    const size_t top = batch.modelView.size() - 16;
    batch.modelView.resize(top + 32);
    if (multiply)
        Multiply(&batch.modelView[top], multiply, &batch.modelView[top + 16]);
    else
        std::copy_n(&batch.modelView[top], 16, &batch.modelView[top + 16]);
}

void BatchPushIdentityModelView()
{
    Batch& batch = TheBatch();
    if (batch.depth == 0)
        return;
    batch.modelView.resize(batch.modelView.size() + 16);
    Identity(&batch.modelView[batch.modelView.size() - 16]);
}

void BatchPopModelView()
{
    Batch& batch = TheBatch();
    if (batch.depth > 0 && batch.modelView.size() > 16)
        batch.modelView.resize(batch.modelView.size() - 16);
}

void BatchLoadModelView(const float* matrix)
{
    Batch& batch = TheBatch();
    if (batch.depth > 0 && matrix)
        std::copy_n(matrix, 16, &batch.modelView[batch.modelView.size() - 16]);
}

void ForgetBatchTexture(uint32_t name)
{
    std::vector<TextureInfo>& known = TheBatch().textures;
    known.erase(std::remove_if(known.begin(), known.end(), [name](const TextureInfo& info) { return info.name == name; }),
                known.end());
}

void BatchNoteScissor(bool on, const int32_t box[4])
{
    Batch& batch = TheBatch();
    if (batch.depth == 0 || !batch.state.valid)
        return;
    batch.state.scissorOn = on;
    std::copy(box, box + 4, batch.state.scissor);
}

// Drawables: CDraw (a primitive mode and a 4 × 4 transform), CShape (vertex and index
// arrays, a material, rotation and scale, drawn with fixed-function OpenGL arrays) and
// CQuad (four vertices drawn as one quad; every GUI element is one). A shape owns its arrays,
// transform and material; the texture names in the material belong to their textures.
// Drawing needs the current OpenGL context (media/GL.h).
#pragma once

#include "media/Matrix.h"
#include "util/Vector.h"

#include <cstdint>
#include <vector>

// Surface colours (r, g, b, a floats) and textures of a shape. The sprite that a shape shows
// writes the texture matrix and texture slot 0 (media/Sprite.h).
struct CMaterial {
    float ambient[4] = {0.2f, 0.2f, 0.2f, 0.0f};
    float diffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f};
    float specular[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    float emission[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    float shininess = 0.0f;
    CMatrix textureMatrix;            // 4 × 4, identity
    std::vector<uint32_t> textures;   // OpenGL texture names, one per texture unit used
    bool additive = false;            // blend with (source alpha, one) instead of (source alpha, 1 − source alpha)
    // One texel of the frame the texture matrix selects, in texture coordinates (the sprite
    // that shows a frame sets it); 0 when unknown or when the frame is drawn texel for pixel.
    // Under a pixel scale above 1 (media/DrawState.h) such a frame is sampled from a rectangle
    // inset by (1 − 1 / scale) / 2 texels on every side, so that linear filtering does not
    // blend the texels around the frame in its picture into the frame's edges.
    float texel = 0.0f;
};

class CDraw {
public:
    CDraw() = default;
    virtual ~CDraw() = default;
    // Draws the object with its transform.
    virtual void Draw() = 0;

    uint32_t mode = 0;    // the OpenGL primitive (GL_POINTS 0, GL_TRIANGLES 4, GL_QUADS 7, ...)
    CMatrix transform;    // 4 × 4, identity; entries 12, 13 and 14 hold the position
};

// One vertex as a CQuad is built from: position, texture coordinate, normal and colour.
struct CVertex {
    float position[3] = {0, 0, 0};
    float texCoord[2] = {0, 0};
    float normal[3] = {0, 0, 1};
    uint8_t colour[4] = {255, 255, 255, 255};
};

class CShape : public CDraw {
public:
    CShape() = default;
    // Copies every array, the material, the scale and the rotation; the copy's transform is
    // this shape's with its rotation part rewritten from the rotation angles.
    CShape(const CShape& other);
    CShape& operator=(const CShape& other);

    // Draws the arrays: the transform and scale, the material, blending (always on),
    // the textures with the texture matrix, per-vertex colours when hasColours, and the
    // indices when indexCount > 0 or else the vertices in order. With vertex buffers the
    // arrays are re-sent on every draw into the fixed buffer names 1 to 5. A shape whose
    // indices name a vertex past the vertex count is not drawn at all (OpenGL would read
    // past the arrays). Expects the model-view matrix mode and leaves it selected. Under a
    // pixel scale above 1, a frame with a known texel is sampled inset (CMaterial::texel).
    void Draw() override;

    // Frees and reallocates the per-vertex arrays: positions, texture coordinates and
    // normals zero, colours 255.
    void SetVertexCount(uint32_t count);
    // Frees and reallocates the 16-bit indices and the face normals (both zero).
    void SetIndexCount(uint32_t count);
    uint32_t VertexCount() const { return vertexCount; }
    uint32_t IndexCount() const { return indexCount; }

    // Inserts texture name 0 at the front of the material's texture list.
    void InsertTextureSlot();

    // The translation entries 12, 13 and 14 of the transform.
    void SetPosition(float x, float y, float z);
    CVector Position() const { return transform.Translation(); }
    // Degrees about X, Y and Z, stored and written into the transform's rotation part.
    void SetRotation(float x, float y, float z);
    void SetScale(float x, float y, float z);

    // Vertex data viewed as write-through vectors (util/Vector.h): setting one edits the
    // vertex in place. An index past the vertex count gives a plain zero vector.
    CVector VertexPosition(uint32_t vertex);
    CVector VertexTexCoord(uint32_t vertex);
    CVector VertexNormal(uint32_t vertex);
    // The vertex's RGBA bytes, or null past the vertex count.
    uint8_t* VertexColour(uint32_t vertex);
    void SetVertexColour(uint32_t vertex, uint8_t r, uint8_t g, uint8_t b, uint8_t a);

    // Recomputes the vertex normals as the normalised sum of the normals of the triangles
    // each vertex belongs to. A triangle (P, Q, R) has the normal (Q − P) × (P − R),
    // normalised. With indices, each three indices form a triangle (its normal also goes to
    // faceNormals); triangles naming a vertex past the vertex count are skipped. Without,
    // the triangles follow the mode: separate triangles (4), a strip (5, every second
    // triangle with its first two vertices swapped), a fan (6, and polygons 9), quads (7,
    // each split into two triangles from its first vertex) and quad strips (8, like a
    // triangle strip); for any other mode each vertex from the third on closes a triangle
    // with the two before it.
    void ComputeNormals();

    CMaterial material;
    bool hasColours = false;
    CVector rotation = CVector(0, 0, 0);    // degrees, as last set
    CVector scale = CVector(1, 1, 1);

    // Arrays: 3 floats of position, 2 of texture coordinate, 3 of normal and 4 bytes of
    // colour per vertex; 16-bit indices; one normal (3 floats) per triangle of indices.
    std::vector<float> positions;
    std::vector<float> texCoords;
    std::vector<float> normals;
    std::vector<uint8_t> colours;
    std::vector<uint16_t> indices;
    std::vector<float> faceNormals;

protected:
    uint32_t vertexCount = 0;
    uint32_t indexCount = 0;

private:
    // Draw with the texture matrix as it stands: batched, else at once.
    void DrawArrays();
};

class CQuad : public CShape {
public:
    // The unit quad of the GUI: positions (0,0), (1,0), (1,1), (0,1), texture coordinates
    // (0,1), (1,1), (1,0), (0,0), normals (0,0,1), white.
    CQuad();
    CQuad(const CVertex& a, const CVertex& b, const CVertex& c, const CVertex& d);

    // Writes one vertex in full (index 0 to 3).
    void SetVertex(uint32_t index, const CVertex& vertex);
};

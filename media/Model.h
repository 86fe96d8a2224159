// Models: CModel (a CShape of indexed triangles with normals, its bounds, and the readers'
// per-part data), CHeightmap (a terrain mesh from an 8-bit picture) and the Wavefront OBJ and
// 3D Studio (3DS) readers. Readers trust nothing in their files: a face naming a vertex that
// does not exist is dropped, chunks are held inside their parents and the file, and a model
// of more than 65536 vertices (16-bit indices reach 65535) is refused and left empty.
// A model that could not be read stays empty with its bounds at ±1000000.
#pragma once

#include "media/Draw.h"
#include "media/Resource.h"
#include "media/Sprite.h"
#include "util/String.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class CImage;

class CModel : public CResource {
public:
    CModel() { kind = ResourceModel; }

    // Takes the component-wise minimum and maximum of the shape's vertex positions, starting
    // from (1000000, 1000000, 1000000) and (-1000000, -1000000, -1000000).
    void ComputeBounds();

    CShape shape;
    CSprite materials;
    // One entry per part the reader found (a 3DS object, an OBJ material run): the first
    // index of its triangles, its index count, and its material number (-1 for none).
    std::vector<uint32_t> partFirstIndex;
    std::vector<uint32_t> partIndexCount;
    std::vector<int32_t> partMaterial;
    CVector boundsMin{1000000.0f, 1000000.0f, 1000000.0f};
    CVector boundsMax{-1000000.0f, -1000000.0f, -1000000.0f};
};

// The most vertices a model may have: its indices are 16-bit, numbering vertices 0 to 65535.
constexpr uint32_t kMaxModelVertices = 65536;

// A grid of width × height vertices whose heights are the pixel bytes (one byte per pixel,
// row by row), centred on x and z, textured over the whole grid, two triangles per cell.
// A grid above kMaxModelVertices is left empty.
class CHeightmap : public CShape {
public:
    CHeightmap(uint32_t width, uint32_t height, const uint8_t* pixels);
};

// Fills model.shape with a heightmap of image: a picture of more than one channel or of
// deeper channels is first turned into 8-bit grey. False when the image has no pixels.
bool BuildHeightmap(CModel& model, const CImage& image);

// Opens a material library by the name written after "mtllib"; returns its text, or false.
using MaterialLibraryReader = std::function<bool(const String& name, std::vector<char>& text)>;

// Reads an OBJ file into model (positions, texture coordinates, triangles, vertex colours
// from "usemtl" materials) and computes normals. The material library is looked up next to
// the OBJ file first, then as written (relative to the working directory). False when the
// file cannot be read or holds no usable vertices.
bool ReadObj(CModel& model, const String& path);
bool ReadObjFromMemory(CModel& model, const char* text, size_t size,
                       const MaterialLibraryReader& readLibrary);

// Reads a 3DS file into model: every object's vertices, faces and texture coordinates in
// one shape, vertex colours from the face materials. False without the main chunk.
bool Read3ds(CModel& model, const String& path);
bool Read3dsFromMemory(CModel& model, const uint8_t* bytes, size_t size);

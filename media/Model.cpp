// Index: [SECTION] Models and bounds  [SECTION] Heightmaps  [SECTION] Files
//        [SECTION] OBJ reader  [SECTION] 3DS reader
#include "media/Model.h"
#include "util/FileRead.h"

#include "media/Image.h"
#include "util/ByteReader.h"
#include "util/Number.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

// [SECTION] Models and bounds

void CModel::ComputeBounds()
{
    boundsMin = CVector(1000000.0f, 1000000.0f, 1000000.0f);
    boundsMax = CVector(-1000000.0f, -1000000.0f, -1000000.0f);
    const uint32_t count = std::min<uint32_t>(shape.VertexCount(), static_cast<uint32_t>(shape.positions.size() / 3));
    for (uint32_t v = 0; v < count; ++v) {
        const float* p = &shape.positions[v * 3ull];
        boundsMin = CVector(std::min(boundsMin.x, p[0]), std::min(boundsMin.y, p[1]), std::min(boundsMin.z, p[2]));
        boundsMax = CVector(std::max(boundsMax.x, p[0]), std::max(boundsMax.y, p[1]), std::max(boundsMax.z, p[2]));
    }
}

// [SECTION] Heightmaps

CHeightmap::CHeightmap(uint32_t width, uint32_t height, const uint8_t* pixels)
{
    mode = 4;
    const uint64_t vertices = static_cast<uint64_t>(width) * height;
    if (!pixels || vertices == 0 || vertices > kMaxModelVertices)
        return;
    SetVertexCount(static_cast<uint32_t>(vertices));
    SetIndexCount(width > 1 && height > 1 ? 6 * (width - 1) * (height - 1) : 0);
    const float halfWidth = width / 2.0f, halfHeight = height / 2.0f;
    for (uint32_t i = 0; i < height; ++i) {
        for (uint32_t j = 0; j < width; ++j) {
            const size_t k = static_cast<size_t>(i) * width + j;
            positions[k * 3] = static_cast<float>(j) - halfWidth;
            positions[k * 3 + 1] = pixels[k];
            positions[k * 3 + 2] = static_cast<float>(i) - halfHeight;
            // A single row or column spans no texture distance.
            texCoords[k * 2] = width > 1 ? static_cast<float>(j) / (width - 1) : 0.0f;
            texCoords[k * 2 + 1] = height > 1 ? static_cast<float>(i) / (height - 1) : 0.0f;
        }
    }
    size_t n = 0;
    for (uint32_t i = 0; i + 1 < height; ++i) {
        for (uint32_t j = 0; j + 1 < width; ++j) {
            const uint16_t k = static_cast<uint16_t>(i * width + j);
            const uint16_t w = static_cast<uint16_t>(width);
            for (uint16_t index : {k, uint16_t(k + 1), uint16_t(k + w), uint16_t(k + w), uint16_t(k + 1),
                                   uint16_t(k + w + 1)})
                indices[n++] = index;
        }
    }
    ComputeNormals();
}

bool BuildHeightmap(CModel& model, const CImage& image)
{
    if (!image.pixels || image.width == 0 || image.height == 0)
        return false;
    const CImage* source = &image;
    CImage grey;
    if (image.channels != 1 || image.bitsPerPixel != 8) {
        grey = image;
        grey.ConvertDepth(grey.channels * 8);
        grey.ConvertChannels(1);
        if (grey.channels != 1 || grey.bitsPerPixel != 8)
            return false;
        source = &grey;
    }
    CHeightmap heightmap(source->width, source->height, source->pixels);
    model.shape = heightmap;
    model.ComputeBounds();
    return true;
}

namespace {

constexpr size_t kMaxModelFileBytes = 64u << 20;

// [SECTION] OBJ reader

// The words of one line, without its comment.
std::vector<std::string> Words(const char* begin, const char* end)
{
    std::vector<std::string> words;
    const char* p = begin;
    while (p < end && *p != '#') {
        while (p < end && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\f' || *p == '\v'))
            ++p;
        const char* start = p;
        while (p < end && *p != ' ' && *p != '\t' && *p != '\r' && *p != '\f' && *p != '\v' && *p != '#')
            ++p;
        if (p > start)
            words.emplace_back(start, p);
    }
    return words;
}

// Calls visit(words, restOfLine) for every non-empty line of text.
template <class Visit>
void ForEachLine(const char* text, size_t size, Visit visit)
{
    const char* end = text + size;
    for (const char* line = text; line < end;) {
        const char* eol = static_cast<const char*>(std::memchr(line, '\n', static_cast<size_t>(end - line)));
        if (!eol)
            eol = end;
        std::vector<std::string> words = Words(line, eol);
        if (!words.empty()) {
            // The rest of the line after the first word, trimmed (names may hold blanks).
            const char* rest = line;
            while (rest < eol && (*rest == ' ' || *rest == '\t'))
                ++rest;
            rest += words[0].size();
            const char* restEnd = eol;
            while (rest < restEnd && (*rest == ' ' || *rest == '\t'))
                ++rest;
            while (restEnd > rest && (restEnd[-1] == '\r' || restEnd[-1] == ' ' || restEnd[-1] == '\t'))
                --restEnd;
            visit(words, std::string(rest, restEnd));
        }
        line = eol + 1;
    }
}

float Number(const std::vector<std::string>& words, size_t index)
{
    if (index >= words.size())
        return 0.0f;
    float value = 0.0f; // as strtof reads it in the C locale, whatever the locale
    ParseNumber(words[index].c_str(), value, nullptr, NumberSyntax::DecimalOrHex);
    return std::isfinite(value) ? value : 0.0f;
}

struct ObjMaterial {
    std::string name;
    float ambient[3] = {0, 0, 0};
    float diffuse[3] = {1, 1, 1};
    float specular[3] = {0, 0, 0};
    float shininess = 0;
};

void ReadMaterialLibrary(const std::vector<char>& text, std::vector<ObjMaterial>& materials)
{
    ForEachLine(text.data(), text.size(), [&](const std::vector<std::string>& w, const std::string& rest) {
        if (w[0] == "newmtl") {
            materials.emplace_back();
            materials.back().name = rest;
            return;
        }
        if (materials.empty())
            return;
        ObjMaterial& m = materials.back();
        float* target = w[0] == "Ka" ? m.ambient : w[0] == "Kd" ? m.diffuse : w[0] == "Ks" ? m.specular : nullptr;
        if (target) {
            for (size_t c = 0; c < 3; ++c)
                target[c] = Number(w, c + 1);
        } else if (w[0] == "Ns") {
            m.shininess = Number(w, 1);
        }
    });
}

// The 0-based vertex of one face token ("7", "7/2", "7//3", "7/2/3", or negative relative
// numbers), or -1 when it names no vertex that exists.
int64_t FaceVertex(const std::string& token, int64_t verticesSoFar, uint32_t vertexCount)
{
    const char* start = token.c_str();
    const char* after = nullptr;
    int64_t number = 0;
    ParseInteger(start, number, &after);
    if (after == start || (*after != '\0' && *after != '/'))
        return -1;
    int64_t index = number > 0 ? number - 1 : number < 0 ? verticesSoFar + number : -1;
    return index >= 0 && index < vertexCount ? index : -1;
}

uint8_t ColourByte(float value)
{
    float scaled = value * 255.0f;
    return scaled <= 0.0f ? 0 : scaled >= 255.0f ? 255 : static_cast<uint8_t>(scaled);
}

} // namespace

bool ReadObjFromMemory(CModel& model, const char* text, size_t size, const MaterialLibraryReader& readLibrary)
{
    // First pass: counts.
    uint64_t vertexLines = 0, triangles = 0;
    ForEachLine(text, size, [&](const std::vector<std::string>& w, const std::string&) {
        if (w[0] == "v")
            ++vertexLines;
        else if (w[0] == "f" && w.size() >= 4)
            triangles += w.size() - 3;
    });
    if (vertexLines == 0 || vertexLines > kMaxModelVertices || triangles * 3 + 3 > 0x7FFFFFFF)
        return false;

    CShape& shape = model.shape;
    shape.mode = 4;
    shape.SetVertexCount(static_cast<uint32_t>(vertexLines));
    const uint32_t vertexCount = shape.VertexCount();
    std::vector<uint16_t> indices;
    indices.reserve(static_cast<size_t>(triangles) * 3 + 3);
    std::vector<ObjMaterial> materials;
    int32_t current = -1;
    uint32_t vertices = 0, texCoords = 0;

    // Second pass: the data.
    ForEachLine(text, size, [&](const std::vector<std::string>& w, const std::string& rest) {
        const std::string& key = w[0];
        if (key == "v") {
            for (size_t c = 0; c < 3; ++c)
                shape.positions[vertices * 3ull + c] = Number(w, c + 1);
            ++vertices;
        } else if (key == "vt") {
            if (texCoords < vertexCount) {
                shape.texCoords[texCoords * 2ull] = Number(w, 1);
                shape.texCoords[texCoords * 2ull + 1] = Number(w, 2);
                ++texCoords;
            }
        } else if (key == "f") {
            std::vector<uint16_t> face;
            for (size_t t = 1; t < w.size(); ++t) {
                int64_t v = FaceVertex(w[t], vertices, vertexCount);
                if (v < 0)
                    return; // a face naming a missing vertex is dropped whole
                face.push_back(static_cast<uint16_t>(v));
            }
            if (face.size() < 3)
                return;
            // (1, 2, 3), then a fan closing on the first vertex: a quad gives (3, 4, 1).
            auto add = [&](uint16_t a, uint16_t b, uint16_t c) { indices.insert(indices.end(), {a, b, c}); };
            add(face[0], face[1], face[2]);
            for (size_t k = 2; k + 1 < face.size(); ++k)
                add(face[k], face[k + 1], face[0]);
            if (current >= 0) {
                const ObjMaterial& m = materials[static_cast<size_t>(current)];
                for (uint16_t v : face)
                    shape.SetVertexColour(v, ColourByte(m.diffuse[0]), ColourByte(m.diffuse[1]),
                                          ColourByte(m.diffuse[2]), 255);
                shape.hasColours = true;
            }
        } else if (key == "mtllib") {
            std::vector<char> library;
            if (!rest.empty() && readLibrary && readLibrary(String(rest.c_str()), library))
                ReadMaterialLibrary(library, materials);
        } else if (key == "usemtl") {
            current = -1;
            for (size_t m = 0; m < materials.size(); ++m)
                if (materials[m].name == rest)
                    current = static_cast<int32_t>(m);
            model.partFirstIndex.push_back(static_cast<uint32_t>(indices.size()));
            model.partMaterial.push_back(current);
        }
    });

    // Three zero indices close the list.
    indices.insert(indices.end(), {0, 0, 0});
    shape.SetIndexCount(static_cast<uint32_t>(indices.size()));
    std::copy(indices.begin(), indices.end(), shape.indices.begin());
    for (size_t p = 0; p < model.partFirstIndex.size(); ++p) {
        uint32_t end = p + 1 < model.partFirstIndex.size() ? model.partFirstIndex[p + 1]
                                                           : static_cast<uint32_t>(indices.size() - 3);
        model.partIndexCount.push_back(end - model.partFirstIndex[p]);
    }
    shape.ComputeNormals();
    model.ComputeBounds();
    return true;
}

bool ReadObj(CModel& model, const String& path)
{
    std::vector<char> text;
    if (!ReadWholeFile(path, text, kMaxModelFileBytes))
        return false;
    // The library next to the OBJ file first, then as written.
    String folder;
    int32_t slash = -1;
    for (int32_t i = 0; i < path.Length(); ++i)
        if (path[i] == '/')
            slash = i;
    if (slash >= 0)
        folder = path.Substring(0, slash + 1);
    MaterialLibraryReader reader = [&](const String& name, std::vector<char>& library) {
        return (!folder.IsEmpty() && ReadWholeFile(folder + name, library, kMaxModelFileBytes)) ||
               ReadWholeFile(name, library, kMaxModelFileBytes);
    };
    return ReadObjFromMemory(model, text.data(), text.size(), reader);
}

// [SECTION] 3DS reader

namespace {

float Finite(float value) { return std::isfinite(value) ? value : 0.0f; }

// A NUL-terminated name; a name that runs to the end of its chunk ends there.
std::string Name(CByteReader& in)
{
    std::string name;
    while (!in.AtEnd()) {
        const char c = static_cast<char>(in.U8());
        if (c == 0)
            break;
        name += c;
    }
    return name;
}

struct Mesh3ds {
    uint32_t firstVertex = 0;
    uint32_t vertexCount = 0;
    uint32_t firstIndex = 0;
};

struct Scene3ds {
    std::vector<float> positions;
    std::vector<float> texCoords;
    std::vector<uint32_t> indices;
    std::vector<std::string> faceMaterial; // per triangle; empty for none
    std::vector<std::pair<std::string, uint32_t>> materials; // name, RGB
    std::vector<Mesh3ds> meshes;
    bool anyMaterial = false;
};

constexpr int kMaxDepth = 16;

void Walk(CByteReader in, int depth, Scene3ds& scene, uint32_t faceBase);

// The body of chunk id, read through its own reader.
void Chunk(uint16_t id, CByteReader body, int depth, Scene3ds& scene, uint32_t faceBase)
{
    switch (id) {
    case 0x3D3D: // editor
    case 0x4100: // triangle mesh
        if (id == 0x4100) {
            Mesh3ds mesh;
            mesh.firstVertex = static_cast<uint32_t>(scene.positions.size() / 3);
            mesh.firstIndex = static_cast<uint32_t>(scene.indices.size());
            scene.meshes.push_back(mesh);
        }
        Walk(body, depth + 1, scene, faceBase);
        break;
    case 0x4000: // object: a name, then its chunks
        Name(body);
        Walk(body, depth + 1, scene, faceBase);
        break;
    case 0x4110: { // vertices
        if (scene.meshes.empty() || body.Remaining() < 2)
            break;
        const uint16_t declared = body.U16LE();
        const size_t count = std::min<size_t>(declared, body.Remaining() / 12);
        Mesh3ds& mesh = scene.meshes.back();
        if (mesh.vertexCount > 0)
            break; // one vertex list per mesh
        for (size_t v = 0; v < count * 3; ++v)
            scene.positions.push_back(Finite(body.F32LE()));
        mesh.vertexCount = static_cast<uint32_t>(count);
        scene.texCoords.resize(scene.positions.size() / 3 * 2, 0.0f);
        break;
    }
    case 0x4120: { // faces, then the face-material chunks inside
        if (scene.meshes.empty() || body.Remaining() < 2)
            break;
        const uint16_t declared = body.U16LE();
        const size_t count = std::min<size_t>(declared, body.Remaining() / 8);
        const Mesh3ds& mesh = scene.meshes.back();
        const uint32_t base = static_cast<uint32_t>(scene.faceMaterial.size());
        for (size_t f = 0; f < count; ++f) {
            const uint16_t a = body.U16LE(), b = body.U16LE(), c = body.U16LE();
            body.Skip(2); // edge flags
            if (a >= mesh.vertexCount || b >= mesh.vertexCount || c >= mesh.vertexCount) {
                // Keep the face numbering for the material lists, but draw nothing.
                scene.indices.insert(scene.indices.end(), {UINT32_MAX, UINT32_MAX, UINT32_MAX});
            } else {
                scene.indices.insert(scene.indices.end(), {mesh.firstVertex + a, mesh.firstVertex + b, mesh.firstVertex + c});
            }
            scene.faceMaterial.emplace_back();
        }
        Walk(body, depth + 1, scene, base);
        break;
    }
    case 0x4130: { // faces of one material (numbered within the enclosing face list)
        const std::string name = Name(body);
        if (body.Remaining() < 2)
            break;
        const uint16_t declared = body.U16LE();
        const size_t count = std::min<size_t>(declared, body.Remaining() / 2);
        for (size_t f = 0; f < count; ++f) {
            const size_t face = faceBase + body.U16LE();
            if (face < scene.faceMaterial.size())
                scene.faceMaterial[face] = name;
        }
        break;
    }
    case 0x4140: { // texture coordinates of the current mesh
        if (scene.meshes.empty() || body.Remaining() < 2)
            break;
        const Mesh3ds& mesh = scene.meshes.back();
        const uint16_t declared = body.U16LE();
        const size_t count = std::min<size_t>({declared, body.Remaining() / 8, mesh.vertexCount});
        for (size_t v = 0; v < count; ++v) {
            scene.texCoords[(mesh.firstVertex + v) * 2] = Finite(body.F32LE());
            scene.texCoords[(mesh.firstVertex + v) * 2 + 1] = Finite(body.F32LE());
        }
        break;
    }
    case 0xAFFF: // material block
        scene.materials.emplace_back(std::string(), 0xFFFFFFu);
        scene.anyMaterial = true;
        Walk(body, depth + 1, scene, faceBase);
        break;
    case 0xA000: // material name
        if (!scene.materials.empty())
            scene.materials.back().first = Name(body);
        break;
    case 0xA020: // diffuse colour: a colour chunk inside
        Walk(body, depth + 1, scene, faceBase);
        break;
    case 0x0011: // 24-bit colour
        if (!scene.materials.empty() && body.Remaining() >= 3) {
            const uint32_t red = body.U8(), green = body.U8(), blue = body.U8();
            scene.materials.back().second = red << 16 | green << 8 | blue;
        }
        break;
    default:
        break; // chunks the program has no use for
    }
}

// The chunks one after another until the reader ends; a chunk that runs past its parent
// ends the walk, since nothing after it can be trusted.
void Walk(CByteReader in, int depth, Scene3ds& scene, uint32_t faceBase)
{
    if (depth > kMaxDepth)
        return;
    while (in.Remaining() >= 6) {
        const uint16_t id = in.U16LE();
        const uint32_t length = in.U32LE();
        if (length < 6 || length - 6 > in.Remaining())
            return;
        Chunk(id, in.Sub(length - 6), depth, scene, faceBase);
    }
}

} // namespace

bool Read3dsFromMemory(CModel& model, const uint8_t* bytes, size_t size)
{
    CByteReader in(bytes, size);
    const uint16_t id = in.U16LE();
    const uint32_t length = in.U32LE();
    if (in.Failed() || id != 0x4D4D)
        return false;
    // A main chunk that claims more than the file holds is read as far as the file goes.
    Scene3ds scene;
    Walk(in.Sub(std::min<size_t>(in.Remaining(), std::max<uint32_t>(length, 6) - 6)), 0, scene, 0);

    const size_t vertexCount = scene.positions.size() / 3;
    if (vertexCount > kMaxModelVertices)
        return false;
    CShape& shape = model.shape;
    shape.mode = 4;
    shape.SetVertexCount(static_cast<uint32_t>(vertexCount));
    std::copy(scene.positions.begin(), scene.positions.end(), shape.positions.begin());
    std::copy(scene.texCoords.begin(), scene.texCoords.end(), shape.texCoords.begin());

    // Faces naming missing vertices were kept only to number the material lists.
    std::vector<uint16_t> indices;
    const size_t faces = scene.indices.size() / 3;
    std::vector<uint32_t> keptBefore(faces + 1, 0); // kept indices before each face
    for (size_t f = 0; f < faces; ++f) {
        const uint32_t* face = &scene.indices[f * 3];
        keptBefore[f + 1] = keptBefore[f];
        if (face[0] == UINT32_MAX)
            continue;
        keptBefore[f + 1] += 3;
        indices.insert(indices.end(), {uint16_t(face[0]), uint16_t(face[1]), uint16_t(face[2])});
        // The last face read wins a vertex shared by faces of different materials.
        const std::string& name = scene.faceMaterial[f];
        for (const auto& material : scene.materials) {
            if (name.empty() || material.first != name)
                continue;
            for (size_t k = 0; k < 3; ++k)
                shape.SetVertexColour(face[k], material.second >> 16 & 0xFF, material.second >> 8 & 0xFF,
                                      material.second & 0xFF, 255);
        }
    }
    shape.SetIndexCount(static_cast<uint32_t>(indices.size()));
    std::copy(indices.begin(), indices.end(), shape.indices.begin());
    shape.hasColours = scene.anyMaterial;
    for (size_t m = 0; m < scene.meshes.size(); ++m) {
        const size_t first = scene.meshes[m].firstIndex / 3;
        const size_t next = m + 1 < scene.meshes.size() ? scene.meshes[m + 1].firstIndex / 3 : faces;
        model.partFirstIndex.push_back(keptBefore[first]);
        model.partIndexCount.push_back(keptBefore[next] - keptBefore[first]);
        model.partMaterial.push_back(-1);
    }
    shape.ComputeNormals();
    model.ComputeBounds();
    return true;
}

bool Read3ds(CModel& model, const String& path)
{
    std::vector<char> bytes;
    if (!ReadWholeFile(path, bytes, kMaxModelFileBytes))
        return false;
    return Read3dsFromMemory(model, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

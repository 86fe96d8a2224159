#include "media/Model.h"

#include "media/Image.h"
#include "media/ResourceManager.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace {

std::vector<uint16_t> Indices(const CShape& shape)
{
    return std::vector<uint16_t>(shape.indices.begin(), shape.indices.begin() + shape.IndexCount());
}

CVector Position(CShape& shape, uint32_t v)
{
    CVector p = shape.VertexPosition(v);
    return CVector(p.x, p.y, p.z);
}

TEST(Heightmap, TwoByTwoGridAndItsIndices)
{
    const uint8_t bytes[] = {0, 10, 20, 30};
    CHeightmap map(2, 2, bytes);
    EXPECT_EQ(map.mode, 4u);
    ASSERT_EQ(map.VertexCount(), 4u);
    EXPECT_EQ(Position(map, 0), CVector(-1, 0, -1));
    EXPECT_EQ(Position(map, 1), CVector(0, 10, -1));
    EXPECT_EQ(Position(map, 2), CVector(-1, 20, 0));
    EXPECT_EQ(Position(map, 3), CVector(0, 30, 0));
    EXPECT_EQ(Indices(map), (std::vector<uint16_t>{0, 1, 2, 2, 1, 3}));
    CVector corner = map.VertexTexCoord(3);
    EXPECT_EQ(corner.x, 1.0f);
    EXPECT_EQ(corner.y, 1.0f);
    CVector normal = map.VertexNormal(0);
    EXPECT_NEAR(normal.Length3(), 1.0f, 1e-5f);
}

TEST(Heightmap, SingleRowsAndOversizedGrids)
{
    const uint8_t bytes[5] = {1, 2, 3, 4, 5};
    CHeightmap row(5, 1, bytes);
    EXPECT_EQ(row.VertexCount(), 5u);
    EXPECT_EQ(row.IndexCount(), 0u);
    EXPECT_EQ(Position(row, 0), CVector(-2.5f, 1, -0.5f));
    EXPECT_EQ(row.VertexTexCoord(4).y, 0.0f); // no division by zero
    CHeightmap column(1, 5, bytes);
    EXPECT_EQ(column.VertexCount(), 5u);
    EXPECT_EQ(column.IndexCount(), 0u);

    std::vector<uint8_t> big(256 * 257, 0);
    CHeightmap tooBig(256, 257, big.data()); // 65792 vertices cannot be indexed in 16 bits
    EXPECT_EQ(tooBig.VertexCount(), 0u);
}

TEST(Heightmap, LargestGridUsesEverySixteenBitIndex)
{
    std::vector<uint8_t> bytes(256 * 256, 0);
    bytes.back() = 99;
    CHeightmap map(256, 256, bytes.data()); // 65536 vertices: indices 0 to 65535
    ASSERT_EQ(map.VertexCount(), 65536u);
    ASSERT_EQ(map.IndexCount(), 6u * 255u * 255u);
    EXPECT_EQ(Position(map, 65535), CVector(127, 99, 127));
    const std::vector<uint16_t> indices = Indices(map);
    EXPECT_EQ(std::vector<uint16_t>(indices.end() - 6, indices.end()),
              (std::vector<uint16_t>{65278, 65279, 65534, 65534, 65279, 65535}));
    EXPECT_NEAR(map.VertexNormal(65535).Length3(), 1.0f, 1e-5f);
}

TEST(Heightmap, ColourPicturesUseTheirGreyLevel)
{
    CImage image;
    ASSERT_TRUE(image.Allocate(24, 2, 1, 3));
    const uint8_t rgb[] = {30, 60, 90, 255, 255, 255};
    std::memcpy(image.pixels, rgb, sizeof rgb);
    CModel model;
    ASSERT_TRUE(BuildHeightmap(model, image));
    ASSERT_EQ(model.shape.VertexCount(), 2u);
    EXPECT_EQ(model.shape.VertexPosition(0).y, 60.0f);
    EXPECT_EQ(model.shape.VertexPosition(1).y, 255.0f);
    EXPECT_EQ(model.boundsMin.y, 60.0f);
    EXPECT_EQ(model.boundsMax.x, 0.0f);
    CImage empty;
    EXPECT_FALSE(BuildHeightmap(model, empty));
}

TEST(Model, EmptyModelsKeepTheStartingBounds)
{
    CModel model;
    EXPECT_EQ(model.kind, ResourceModel);
    model.ComputeBounds();
    EXPECT_EQ(model.boundsMin, CVector(1000000, 1000000, 1000000));
    EXPECT_EQ(model.boundsMax, CVector(-1000000, -1000000, -1000000));
}

// [SECTION] OBJ

bool Obj(CModel& model, const std::string& text, std::map<std::string, std::string> libraries = {})
{
    return ReadObjFromMemory(model, text.data(), text.size(), [&](const String& name, std::vector<char>& out) {
        auto it = libraries.find(name.CStr());
        if (it == libraries.end())
            return false;
        out.assign(it->second.begin(), it->second.end());
        return true;
    });
}

const char* kQuad = "# a unit square\n"
                    "v 0 0 0\nv 1 0 0\nv 1 1 0\r\nv 0 1 0\n"
                    "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nvt 9 9\n"
                    "f 1 2 3 4\n";

TEST(Obj, QuadFaceBecomesTwoTriangles)
{
    CModel model;
    ASSERT_TRUE(Obj(model, kQuad));
    EXPECT_EQ(model.shape.VertexCount(), 4u);
    EXPECT_EQ(Indices(model.shape), (std::vector<uint16_t>{0, 1, 2, 2, 3, 0, 0, 0, 0}));
    EXPECT_EQ(model.shape.VertexTexCoord(2).x, 1.0f);
    EXPECT_EQ(std::fabs(model.shape.VertexNormal(0).z), 1.0f);
    EXPECT_EQ(model.boundsMax, CVector(1, 1, 0));
    EXPECT_FALSE(model.shape.hasColours);
}

TEST(Obj, TokenFormatsPolygonsAndBadFaces)
{
    CModel model;
    ASSERT_TRUE(Obj(model, "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0.5 2 0\n"
                           "f 1/1/1 2//2 3/3\n"       // the three slash forms
                           "f 1 2 3 4 5\n"            // a pentagon: a fan of three
                           "f 1 2 9\n"                // a missing vertex: dropped
                           "f 0 1 2\n"                // vertex 0 does not exist: dropped
                           "f -3 -2 -1\n"             // relative to the vertices so far
                           "f 1 2\n"));               // too short: dropped
    EXPECT_EQ(Indices(model.shape), (std::vector<uint16_t>{0, 1, 2, 0, 1, 2, 2, 3, 0, 3, 4, 0, 2, 3, 4, 0, 0, 0}));
}

TEST(Obj, MaterialsColourTheirFaces)
{
    const char* library = "newmtl red paint\nKa 0.1 0 0\nKd 1 0 0\nKs 0 0 0\nNs 10\n"
                          "newmtl blue\nKd 0 0 0.5\n";
    CModel model;
    ASSERT_TRUE(Obj(model, "mtllib parts.mtl\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
                           "usemtl red paint\nf 1 2 3\nusemtl blue\nf 1 3 4\nusemtl nothing\nf 2 3 4\n",
                    {{"parts.mtl", library}}));
    EXPECT_TRUE(model.shape.hasColours);
    const uint8_t* v0 = model.shape.VertexColour(0);
    const uint8_t* v1 = model.shape.VertexColour(1);
    EXPECT_EQ(std::vector<int>(v1, v1 + 4), (std::vector<int>{255, 0, 0, 255}));
    EXPECT_EQ(std::vector<int>(v0, v0 + 4), (std::vector<int>{0, 0, 127, 255})); // the later face wins
    EXPECT_EQ(model.partFirstIndex, (std::vector<uint32_t>{0, 3, 6}));
    EXPECT_EQ(model.partIndexCount, (std::vector<uint32_t>{3, 3, 3}));
    EXPECT_EQ(model.partMaterial, (std::vector<int32_t>{0, 1, -1}));
}

TEST(Obj, SixteenBitIndicesBoundTheVertexCount)
{
    std::string text;
    for (int i = 0; i < 65536; ++i)
        text += "v 1 2 3\n";
    CModel largest;
    ASSERT_TRUE(Obj(largest, text + "f 1 2 65536\n"));
    EXPECT_EQ(largest.shape.VertexCount(), 65536u);
    EXPECT_EQ(Indices(largest.shape), (std::vector<uint16_t>{0, 1, 65535, 0, 0, 0}));
    CModel model;
    EXPECT_FALSE(Obj(model, text + "v 1 2 3\nf 1 2 3\n"));
    EXPECT_EQ(model.shape.VertexCount(), 0u);
    EXPECT_FALSE(Obj(model, "# nothing\n"));
}

TEST(Obj, LibraryIsFoundNextToTheModelFile)
{
    TempDir dir;
    std::filesystem::create_directories(dir.Path() / "models");
    WriteFileBytes(dir.File("models/box.obj"), "mtllib box.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl green\nf 1 2 3\n");
    WriteFileBytes(dir.File("models/box.mtl"), "newmtl green\nKd 0 1 0\n");
    CModel model;
    ASSERT_TRUE(ReadObj(model, dir.File("models/box.obj").c_str()));
    EXPECT_EQ(model.shape.VertexColour(2)[1], 255);
    CModel missing;
    EXPECT_FALSE(ReadObj(missing, dir.File("models/none.obj").c_str()));
    EXPECT_EQ(missing.boundsMin.x, 1000000.0f);
}

// [SECTION] 3DS

struct Bytes {
    std::string data;
    Bytes& U16(uint16_t v) { data += char(v & 0xFF); data += char(v >> 8); return *this; }
    Bytes& U32(uint32_t v) { U16(v & 0xFFFF); return U16(v >> 16); }
    Bytes& F32(float f) { uint32_t v; std::memcpy(&v, &f, 4); return U32(v); }
    Bytes& Str(const std::string& s) { data += s; data += '\0'; return *this; }
    Bytes& Raw(const std::string& s) { data += s; return *this; }
};

std::string Chunk(uint16_t id, const std::string& body)
{
    return Bytes().U16(id).U32(static_cast<uint32_t>(body.size() + 6)).Raw(body).data;
}

std::string Box3ds(uint16_t faceIndexLimit = 4)
{
    Bytes vertices;
    vertices.U16(4);
    for (float v : {0.f, 0.f, 0.f, 2.f, 0.f, 0.f, 2.f, 3.f, 0.f, 0.f, 3.f, 1.f})
        vertices.F32(v);
    Bytes faces;
    faces.U16(2).U16(0).U16(1).U16(2).U16(0).U16(0).U16(2).U16(faceIndexLimit - 1).U16(0);
    std::string faceMaterial = Chunk(0x4130, Bytes().Str("gold").U16(1).U16(1).data);
    Bytes uv;
    uv.U16(4);
    for (float v : {0.f, 0.f, 1.f, 0.f, 1.f, 1.f, 0.f, 1.f})
        uv.F32(v);
    std::string mesh = Chunk(0x4100, Chunk(0x4110, vertices.data) + Chunk(0x4120, faces.data + faceMaterial) +
                                         Chunk(0x4140, uv.data));
    std::string object = Chunk(0x4000, Bytes().Str("box").data + mesh);
    std::string material = Chunk(0xAFFF, Chunk(0xA000, Bytes().Str("gold").data) +
                                             Chunk(0xA020, Chunk(0x0011, "\xFF\xC0\x10")));
    std::string version = Chunk(0x0002, Bytes().U32(3).data);
    return Chunk(0x4D4D, version + Chunk(0x3D3D, material + object));
}

bool Read(CModel& model, const std::string& file)
{
    return Read3dsFromMemory(model, reinterpret_cast<const uint8_t*>(file.data()), file.size());
}

TEST(Model3ds, MeshesFacesCoordinatesAndMaterials)
{
    CModel model;
    ASSERT_TRUE(Read(model, Box3ds()));
    CShape& shape = model.shape;
    ASSERT_EQ(shape.VertexCount(), 4u);
    EXPECT_EQ(Position(shape, 2), CVector(2, 3, 0));
    EXPECT_EQ(Indices(shape), (std::vector<uint16_t>{0, 1, 2, 0, 2, 3}));
    EXPECT_EQ(shape.VertexTexCoord(3).y, 1.0f);
    EXPECT_TRUE(shape.hasColours);
    // Face 1 (vertices 0, 2, 3) is gold; vertex 1 belongs to no coloured face.
    EXPECT_EQ(std::vector<int>(shape.VertexColour(3), shape.VertexColour(3) + 4),
              (std::vector<int>{255, 192, 16, 255}));
    EXPECT_EQ(shape.VertexColour(1)[1], 255);
    EXPECT_EQ(model.boundsMax, CVector(2, 3, 1));
    EXPECT_EQ(model.partIndexCount, (std::vector<uint32_t>{6}));
}

TEST(Model3ds, HostileFilesReadNothingOutOfBounds)
{
    CModel model;
    EXPECT_FALSE(Read(model, "MZ" + std::string(20, '\0')));
    EXPECT_EQ(model.shape.VertexCount(), 0u);

    // A face naming vertex 4 of 4 is dropped, the other kept.
    CModel badFace;
    ASSERT_TRUE(Read(badFace, Box3ds(5)));
    EXPECT_EQ(Indices(badFace.shape), (std::vector<uint16_t>{0, 1, 2}));

    // Every cut of a good file, and every chunk length made huge, stays in bounds.
    std::string good = Box3ds();
    for (size_t cut = 0; cut < good.size(); ++cut) {
        CModel m;
        Read(m, good.substr(0, cut));
    }
    for (size_t at = 2; at + 4 <= good.size(); ++at) {
        std::string bad = good;
        bad[at] = '\xFF';
        bad[at + 1] = '\xFF';
        CModel m;
        Read(m, bad);
    }
}

} // namespace

namespace {

TEST(ModelResources, EntriesAndFileEndingsMakeModels)
{
    TempDir dir;
    WriteFileBytes(dir.File("tri.obj"), "v 0 0 0\nv 4 0 0\nv 0 5 0\nf 1 2 3\n");
    WriteFileBytes(dir.File("box.3ds"), Box3ds());
    // A 2 × 2 grey BMP, rows bottom-up and padded to four bytes.
    std::string bmp = "BM";
    Bytes header;
    header.U32(0x3A + 8 + 1024).U32(0).U32(0x36 + 1024).U32(40).U32(2).U32(2).U16(1).U16(8).U32(0).U32(8);
    header.U32(2835).U32(2835).U32(256).U32(0);
    std::string palette;
    for (int i = 0; i < 256; ++i)
        palette += std::string{char(i), char(i), char(i), 0};
    bmp += header.data + palette + std::string("\x14\x1e\0\0\x00\x0a\0\0", 8);
    WriteFileBytes(dir.File("ground.bmp"), bmp);
    std::string resources = dir.File("resources.xml");
    WriteFileBytes(resources, "<resources>"
                              "<model name=\"tri\" file=\"" + dir.File("tri.obj") + "\" />"
                              "<model name=\"box\" file=\"" + dir.File("box.3ds") + "\" />"
                              "<heightmap name=\"ground\" file=\"" + dir.File("ground.bmp") + "\" />"
                              "<heightmap name=\"void\" file=\"" + dir.File("missing.png") + "\" />"
                              "</resources>");
    CResourceManager manager;
    manager.SetUploadTextures(false);
    manager.Load(resources.c_str());
    ASSERT_EQ(manager.GetCount(), 4u);
    auto* tri = dynamic_cast<CModel*>(manager.Find("tri"));
    auto* box = dynamic_cast<CModel*>(manager.Find("box"));
    auto* ground = dynamic_cast<CModel*>(manager.Find("ground"));
    auto* empty = dynamic_cast<CModel*>(manager.Find("void"));
    ASSERT_TRUE(tri && box && ground && empty);
    EXPECT_EQ(tri->boundsMax, CVector(4, 5, 0));
    EXPECT_EQ(box->shape.VertexCount(), 4u);
    ASSERT_EQ(ground->shape.VertexCount(), 4u);
    // Rows run bottom-up in memory: vertex 0 is the bottom-left pixel, vertex 3 the top-right.
    EXPECT_EQ(ground->shape.VertexPosition(0).y, 20.0f);
    EXPECT_EQ(ground->shape.VertexPosition(3).y, 10.0f);
    EXPECT_EQ(empty->shape.VertexCount(), 0u);
    EXPECT_EQ(empty->boundsMin.x, 1000000.0f);
}

} // namespace

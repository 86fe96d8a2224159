// Vectors, matrices, curves and shapes; drawing and the GL wrappers with a context (read
// back with glReadPixels).
#include "media/Curve.h"
#include "media/Draw.h"
#include "media/GL.h"
#include "media/Matrix.h"
#include "media/Sprite.h"
#include "media/Texture.h"
#include "support/GLTestContext.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

void ExpectMatrix(const CMatrix& m, const std::vector<float>& expected, float tolerance = 1e-6f)
{
    for (uint32_t i = 0; i < expected.size(); ++i)
        EXPECT_NEAR(m.At(i), expected[i], tolerance) << "entry " << i;
}

void ExpectVector(const CVector& v, float x, float y, float z, float tolerance = 1e-5f)
{
    EXPECT_NEAR(v.x, x, tolerance);
    EXPECT_NEAR(v.y, y, tolerance);
    EXPECT_NEAR(v.z, z, tolerance);
}

// [SECTION] Vectors and matrices

TEST(Vector, ViewsWriteTheirComponentsThrough)
{
    float data[5] = {1, 2, 3, 4, 5};
    CVector pair = CVector::View(data, 2);
    EXPECT_EQ(pair.y, 2.0f);
    pair.Set(8, 9, 10, 11);
    EXPECT_EQ(data[0], 8.0f);
    EXPECT_EQ(data[1], 9.0f);
    EXPECT_EQ(data[2], 3.0f); // beyond the count: untouched
    CVector alias = pair;     // copies view the same memory
    alias = CVector(6, 7, 0);
    EXPECT_EQ(data[0], 6.0f);
    EXPECT_EQ(alias.Count(), 2);
    alias.x = 1; // a field write is the vector's own
    EXPECT_EQ(data[0], 6.0f);
}

TEST(Matrix, StartsAsIdentityAndReadsOutsideGiveZero)
{
    CMatrix m;
    ExpectMatrix(m, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
    EXPECT_EQ(m.Get(4, 0), 0.0f);
    EXPECT_EQ(m.At(16), 0.0f);
    m.Set(9, 9, 5.0f); // ignored
    CMatrix wide(2, 3);
    EXPECT_EQ(wide.Get(1, 1), 1.0f);
    EXPECT_EQ(wide.Get(1, 2), 0.0f);
    EXPECT_EQ(wide.Translation(), CVector(0, 0, 0));
}

TEST(Matrix, RotationAboutZByNinetyDegrees)
{
    CMatrix m;
    m.SetTranslation(5, 6, 7);
    m.SetRotation(0, 0, 90);
    ExpectMatrix(m, {0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 5, 6, 7, 1});
}

TEST(Matrix, RotationAboutXByNinetyDegrees)
{
    CMatrix m;
    m.SetRotation(90, 0, 0);
    ExpectMatrix(m, {1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1});
}

TEST(Matrix, DegreesUseTheRoundedRadianFactor)
{
    // Ten turns at 0.017453289 rad per degree fall 1.27e-5 rad short of 20π, so the sine
    // left in the matrix is that residual rather than (nearly) zero.
    CMatrix m;
    m.SetRotation(0, 0, 3600);
    EXPECT_NEAR(m.At(1), 1.26e-5f, 3e-7f);
    EXPECT_NEAR(m.At(4), -1.26e-5f, 3e-7f);
    EXPECT_NEAR(m.At(0), 1.0f, 1e-6f);
}

TEST(Matrix, RotationsCombineAsQxQyQz)
{
    // qx · qy for 90° each is (0.5, 0.5, 0.5, 0.5): a cyclic permutation of the axes.
    CMatrix m;
    m.SetRotation(90, 90, 0);
    ExpectMatrix(m, {0, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1});
}

TEST(Matrix, TransformIgnoresTranslation)
{
    CMatrix m;
    m.SetRotation(0, 0, 90);
    m.SetTranslation(100, 100, 100);
    ExpectVector(m.Transform(CVector(1, 0, 0)), 0, -1, 0);
    ExpectVector(m.Transform(CVector(0, 2, 3)), 2, 0, 3);

    CMatrix flat(3, 3);
    flat.SetAt(0, 2);
    flat.SetAt(3, 1);
    flat.SetAt(6, 50); // the 2-D translation: ignored too
    ExpectVector(flat.Transform(CVector(1, 1, 9)), 3, 1, 9);
    ExpectVector(CMatrix(2, 2).Transform(CVector(4, 5, 6)), 4, 5, 6);
}

TEST(Matrix, NegatedAnglesUndoASingleAxisRotation)
{
    // What the GUI's hit test relies on for elements turned about one axis.
    CMatrix spin, unspin;
    spin.SetRotation(0, 0, 37);
    unspin.SetRotation(0, 0, -37);
    ExpectVector(unspin.Transform(spin.Transform(CVector(3, 4, 0))), 3, 4, 0);
}

TEST(Matrix, ProductAppliesTheLeftMatrixFirst)
{
    CMatrix rotate, stretch;
    rotate.SetRotation(0, 0, 90);
    stretch.SetAt(0, 2); // x doubled
    const CVector p(1, 0, 0);
    ExpectVector((rotate * stretch).Transform(p), 0, -1, 0); // turned to −y, then x doubled
    ExpectVector((stretch * rotate).Transform(p), 0, -2, 0); // doubled, then turned
    CMatrix odd(2, 3);
    EXPECT_EQ(odd * odd, odd); // sizes that do not chain give the left matrix back
}

TEST(Matrix, InverseOfAGeneralTransform)
{
    CMatrix m;
    m.SetRotation(30, -45, 60);
    m.SetTranslation(10, -20, 5);
    m.SetAt(0, m.At(0) * 2);
    bool invertible = false;
    CMatrix product = m * m.Inverse(&invertible);
    EXPECT_TRUE(invertible);
    ExpectMatrix(product, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, 1e-5f);

    CMatrix singular;
    singular.SetAt(5, 0);
    EXPECT_EQ(singular.Inverse(&invertible), CMatrix());
    EXPECT_FALSE(invertible);
}

TEST(Matrix, TranslationOfThreeByThree)
{
    CMatrix flat(3, 3);
    flat.SetTranslation(4, 5, 6);
    EXPECT_EQ(flat.At(6), 4.0f);
    EXPECT_EQ(flat.At(7), 5.0f);
    EXPECT_EQ(flat.Translation(), CVector(4, 5, 0));
}

// [SECTION] Curves

TEST(Curve, SegmentsAreLinesQuadraticsOrCubics)
{
    CCurve curve;
    EXPECT_EQ(curve.Evaluate(0.5f), CVector(0, 0, 0, 0));
    curve.Add(CVector(0, 0, 0));
    EXPECT_EQ(curve.Evaluate(0.5f), CVector(0, 0, 0, 0));
    CCurveKey end;
    end.position = CVector(10, 0, 0);
    end.in = CVector(10, 10, 0);
    end.hasIn = true;
    curve.Add(end);
    // Quadratic (0,0), (10,10), (10,0) at 0.5: (7.5, 5).
    ExpectVector(curve.Evaluate(0.5f), 7.5f, 5, 0);
    curve.keys[0].out = CVector(0, 10, 0);
    curve.keys[0].hasOut = true;
    // Cubic (0,0), (0,10), (10,10), (10,0) at 0.5: (5, 7.5).
    ExpectVector(curve.Evaluate(0.5f), 5, 7.5f, 0);
    ExpectVector(curve.Evaluate(1.0f), 10, 0, 0);
}

TEST(Curve, ClosedPathReturnsToTheFirstKey)
{
    CCurve curve;
    curve.Add(CVector(0, 0, 0));
    curve.Add(CVector(10, 0, 0));
    curve.Add(CVector(10, 10, 0));
    ExpectVector(curve.Evaluate(0.75f), 10, 5, 0); // open: two segments
    curve.closed = true;
    ExpectVector(curve.Evaluate(0.5f), 10, 5, 0); // closed: three
    ExpectVector(curve.Evaluate(5.0f / 6.0f), 5, 5, 0);
    ExpectVector(curve.Evaluate(1.0f), 0, 0, 0);
}

// [SECTION] Shapes

TEST(Shape, VertexArraysAndViews)
{
    CShape shape;
    EXPECT_EQ(shape.mode, 0u);
    shape.SetVertexCount(3);
    EXPECT_EQ(shape.colours, std::vector<uint8_t>(12, 255));
    shape.VertexPosition(1).Set(5, 6, 7);
    shape.VertexTexCoord(2).Set(0.25f, 0.75f, 99);
    EXPECT_EQ(shape.positions, (std::vector<float>{0, 0, 0, 5, 6, 7, 0, 0, 0}));
    EXPECT_EQ(shape.texCoords, (std::vector<float>{0, 0, 0, 0, 0.25f, 0.75f}));
    EXPECT_EQ(shape.VertexPosition(3), CVector(0, 0, 0)); // past the end: a plain vector
    EXPECT_EQ(shape.VertexColour(3), nullptr);
    shape.SetIndexCount(6);
    EXPECT_EQ(shape.faceNormals.size(), 6u);
}

TEST(Shape, TextureSlotsAreInsertedAtTheFront)
{
    CShape shape;
    shape.material.textures = {5, 6};
    shape.InsertTextureSlot();
    EXPECT_EQ(shape.material.textures, (std::vector<uint32_t>{0, 5, 6}));
}

TEST(Shape, CopyRewritesTheTransformFromTheRotation)
{
    CShape shape;
    shape.SetVertexCount(2);
    shape.SetPosition(1, 2, 3);
    shape.SetRotation(0, 0, 90);
    shape.transform.SetAt(0, 42); // out of step with the stored rotation
    CShape copy(shape);
    EXPECT_NEAR(copy.transform.At(0), 0.0f, 1e-6f);
    EXPECT_EQ(copy.Position(), CVector(1, 2, 3));
    EXPECT_EQ(copy.positions.size(), 6u);
}

TEST(Shape, NormalsOfAnIndexedMesh)
{
    // A 2 × 2 grid whose far corner is lowered: two triangles at an angle.
    CShape mesh;
    mesh.mode = 4;
    mesh.SetVertexCount(4);
    mesh.VertexPosition(0).Set(-1, 0, -1);
    mesh.VertexPosition(1).Set(0, 10, -1);
    mesh.VertexPosition(2).Set(-1, 20, 0);
    mesh.VertexPosition(3).Set(0, 0, 0);
    mesh.SetIndexCount(6);
    mesh.indices = {0, 1, 2, 2, 1, 3};
    mesh.ComputeNormals();
    // (Q − P) × (P − R): (−10, 1, −20) and (20, 1, 10), each over √501.
    const float r = std::sqrt(501.0f);
    ExpectVector(mesh.VertexNormal(0), -10 / r, 1 / r, -20 / r);
    ExpectVector(mesh.VertexNormal(3), 20 / r, 1 / r, 10 / r);
    const float s = std::sqrt(204.0f); // shared vertices: the sum (10, 2, −10), normalised
    ExpectVector(mesh.VertexNormal(1), 10 / s, 2 / s, -10 / s);
    ExpectVector(mesh.VertexNormal(2), 10 / s, 2 / s, -10 / s);
    EXPECT_NEAR(mesh.faceNormals[3], 20 / r, 1e-6f);
    EXPECT_NEAR(mesh.faceNormals[5], 10 / r, 1e-6f);
}

TEST(Shape, NormalsOfStripsAndFansFaceOneWay)
{
    for (uint32_t mode : {5u, 6u}) {
        CShape shape;
        shape.mode = mode;
        shape.SetVertexCount(4);
        const float square[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
        const float fan[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
        for (uint32_t v = 0; v < 4; ++v) {
            const float* p = mode == 5 ? square[v] : fan[v];
            shape.VertexPosition(v).Set(p[0], p[1], 0);
        }
        shape.ComputeNormals();
        for (uint32_t v = 0; v < 4; ++v)
            ExpectVector(shape.VertexNormal(v), 0, 0, -1);
    }
}

TEST(Shape, NormalsSkipTrianglesNamingMissingVertices)
{
    CShape shape;
    shape.mode = 4;
    shape.SetVertexCount(3);
    shape.VertexPosition(1).Set(1, 0, 0);
    shape.VertexPosition(2).Set(0, 1, 0);
    shape.SetIndexCount(6);
    shape.indices = {0, 1, 2, 0, 9, 2};
    shape.ComputeNormals();
    ExpectVector(shape.VertexNormal(0), 0, 0, -1);
    EXPECT_EQ(shape.faceNormals[3] + shape.faceNormals[4] + shape.faceNormals[5], 0.0f);
}

TEST(Quad, UnitQuadOfTheGui)
{
    CQuad quad;
    EXPECT_EQ(quad.mode, 7u);
    EXPECT_EQ(quad.VertexCount(), 4u);
    EXPECT_EQ(quad.positions, (std::vector<float>{0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}));
    EXPECT_EQ(quad.texCoords, (std::vector<float>{0, 1, 1, 1, 1, 0, 0, 0}));
    EXPECT_EQ(quad.VertexNormal(2), CVector(0, 0, 1));
}

// [SECTION] Drawing

using Drawing = GLTest;

std::vector<uint8_t> At(int x, int y) { return GLTestContext::ColourAt(x, y); }

const std::vector<uint8_t> kBlack = {0, 0, 0};

TEST_F(Drawing, ColouredQuadCoversItsRectangle)
{
    GLTestContext::WithEachArrayPath([](bool buffers) {
        GLClear(0, 0, 0, 1);
        CQuad quad;
        quad.hasColours = true;
        for (uint32_t v = 0; v < 4; ++v)
            quad.SetVertexColour(v, 255, 0, 0, 255);
        quad.SetPosition(16, 8, 0);
        quad.SetScale(32, 16, 1);
        quad.Draw();
        EXPECT_EQ(At(20, 10), (std::vector<uint8_t>{255, 0, 0})) << buffers;
        EXPECT_EQ(At(47, 23), (std::vector<uint8_t>{255, 0, 0})) << buffers;
        EXPECT_EQ(At(49, 10), kBlack) << buffers;
        EXPECT_EQ(At(20, 25), kBlack) << buffers;
    });
}

TEST_F(Drawing, IndexedAndPlainTrianglesDrawTheSameSquare)
{
    CShape indexed;
    indexed.mode = GL_TRIANGLES;
    indexed.hasColours = true;
    indexed.SetVertexCount(4);
    const float corners[4][2] = {{8, 8}, {24, 8}, {24, 24}, {8, 24}};
    for (uint32_t v = 0; v < 4; ++v) {
        indexed.VertexPosition(v).Set(corners[v][0], corners[v][1], 0);
        indexed.SetVertexColour(v, 0, 255, 0, 255);
    }
    indexed.SetIndexCount(6);
    indexed.indices = {0, 1, 2, 0, 2, 3};
    indexed.Draw();

    CShape plain;
    plain.mode = GL_TRIANGLES;
    plain.hasColours = true;
    plain.SetVertexCount(6);
    for (uint32_t v = 0; v < 6; ++v) {
        const float* c = corners[indexed.indices[v]];
        plain.VertexPosition(v).Set(c[0] + 32, c[1], 0);
        plain.SetVertexColour(v, 0, 0, 255, 255);
    }
    plain.Draw();
    EXPECT_EQ(At(10, 22), (std::vector<uint8_t>{0, 255, 0}));
    EXPECT_EQ(At(22, 10), (std::vector<uint8_t>{0, 255, 0}));
    EXPECT_EQ(At(42, 22), (std::vector<uint8_t>{0, 0, 255}));
    EXPECT_EQ(At(54, 10), (std::vector<uint8_t>{0, 0, 255}));
    EXPECT_EQ(At(30, 16), kBlack);

    indexed.indices[5] = 4; // a vertex that does not exist: nothing is drawn
    GLClear(0, 0, 0, 1);
    indexed.Draw();
    EXPECT_EQ(At(10, 22), kBlack);
}

TEST_F(Drawing, SpriteFramesSelectPartsOfTheTexture)
{
    // A 16 × 8 picture: top half blue on the left and green on the right, bottom half red.
    CTexture texture;
    texture.Allocate(32, 16, 8, 4);
    for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 16; ++x) {
            uint8_t* p = texture.pixels + (y * 16 + x) * 4;
            const bool top = y >= 4;
            p[0] = top ? 0 : 255;
            p[1] = top && x >= 8 ? 255 : 0;
            p[2] = top && x < 8 ? 255 : 0;
            p[3] = 255;
        }
    texture.Upload();
    ASSERT_EQ(texture.size, 16u);
    CSprite sprite;
    sprite.AddFrame("blue", 0, 0, 8, 4, 0, &texture);
    sprite.AddFrame("green", 8, 0, 8, 4, 0, &texture);
    sprite.AddFrame("red", 0, 4, 16, 4, 0, &texture);

    // Lit like a GUI element: full emission shows the texture as it is.
    glEnable(GL_LIGHTING);
    CQuad quad;
    quad.material.emission[0] = quad.material.emission[1] = quad.material.emission[2] = 1.0f;
    quad.InsertTextureSlot();
    quad.SetScale(GLTestContext::kSide, GLTestContext::kSide, 1);
    sprite.target = &quad.material;
    const std::vector<uint8_t> expected[3] = {{0, 0, 255}, {0, 255, 0}, {255, 0, 0}};
    for (uint32_t frame = 0; frame < 3; ++frame) {
        sprite.ShowFrame(frame);
        GLClear(0, 0, 0, 1);
        quad.Draw();
        // Away from the frame's edges, where filtering mixes in the neighbouring texels.
        EXPECT_EQ(At(32, 32), expected[frame]) << frame;
        EXPECT_EQ(At(16, 40), expected[frame]) << frame;
    }
}

TEST_F(Drawing, DrawLeavesTheStateAsItFoundIt)
{
    CTexture texture;
    texture.Allocate(32, 2, 2, 4);
    texture.Upload();
    CQuad quad;
    quad.hasColours = true;
    quad.material.textures = {texture.glName, texture.glName};
    GLint depthBefore = 0, depthAfter = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthBefore);
    quad.Draw();
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthAfter);
    EXPECT_EQ(depthAfter, depthBefore);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_COLOR_MATERIAL));
    EXPECT_FALSE(glIsEnabled(GL_COLOR_ARRAY));
    if (g_glCaps.multitexture) {
        g_gl.activeTexture(GL_TEXTURE1_ARB);
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
        g_gl.clientActiveTexture(GL_TEXTURE1_ARB);
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
        g_gl.activeTexture(GL_TEXTURE0_ARB);
        g_gl.clientActiveTexture(GL_TEXTURE0_ARB);
    }
    GLint matrixMode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &matrixMode);
    EXPECT_EQ(matrixMode, GL_MODELVIEW);
}

// [SECTION] GL wrappers and extensions

TEST_F(Drawing, ZeroViewportSidesBecomeOne)
{
    GLViewport(3, 4, 0, 0);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 1);
    EXPECT_EQ(viewport[3], 1);
}

TEST_F(Drawing, NullMatrixOnlySelectsTheMode)
{
    GLLoadProjection(nullptr);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_PROJECTION);
    CMatrix shift;
    shift.SetTranslation(3, 0, 0);
    GLLoadModelView(&shift);
    GLfloat loaded[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, loaded);
    EXPECT_EQ(loaded[12], 3.0f);
}

TEST_F(Drawing, ClearAndLights)
{
    GLClear(1, 0, 1, 1);
    EXPECT_EQ(At(0, 0), (std::vector<uint8_t>{255, 0, 255}));
    GLLightSetup light;
    light.position = CVector(1, 2, 3);
    light.ambient = CVector(0.2f, 0.2f, 0.2f);
    GLLight(2, light);
    EXPECT_TRUE(glIsEnabled(GL_LIGHT2));
    GLfloat position[4], ambient[4];
    glGetLightfv(GL_LIGHT2, GL_POSITION, position);
    glGetLightfv(GL_LIGHT2, GL_AMBIENT, ambient);
    EXPECT_EQ(position[3], 1.0f);
    EXPECT_FLOAT_EQ(position[2], 3.0f);
    EXPECT_EQ(ambient[3], 1.0f);
    light.enabled = false;
    GLLight(2, light);
    EXPECT_FALSE(glIsEnabled(GL_LIGHT2));
}

TEST_F(Drawing, ExtensionsAreMatchedAsWholeNames)
{
    EXPECT_TRUE(g_glCaps.multitexture);
    EXPECT_GE(g_glCaps.textureUnits, 2);
    EXPECT_TRUE(LoadExtension("GL_ARB_multitexture"));
    EXPECT_FALSE(LoadExtension("GL_ARB_multi"));
    EXPECT_FALSE(LoadExtension("GL_QW_no_such_extension"));
    EXPECT_FALSE(LoadExtension("WGL_ARB_extensions_string"));
    EXPECT_NE(g_gl.activeTexture, nullptr);
}

} // namespace

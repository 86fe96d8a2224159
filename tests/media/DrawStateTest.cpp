// The drawing-state scopes the layers above media/ draw through: clip rectangles (scissor
// boxes counted from the viewport's top, nested by intersection, the outer state restored),
// the overlay pass and the model-view scope, each read back from the context.
#include "media/Draw.h"
#include "media/DrawState.h"
#include "media/GL.h"
#include "support/GLTestContext.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

using DrawState = GLTest;

constexpr int kSide = GLTestContext::kSide;

std::array<GLint, 4> ScissorBox()
{
    std::array<GLint, 4> box{};
    glGetIntegerv(GL_SCISSOR_BOX, box.data());
    return box;
}

bool ScissorOn() { return glIsEnabled(GL_SCISSOR_TEST) == GL_TRUE; }

std::array<GLfloat, 16> Matrix(GLenum which)
{
    std::array<GLfloat, 16> m{};
    glGetFloatv(which, m.data());
    return m;
}

// Red over the whole target, wherever the scissor lets it.
void FillRed()
{
    CQuad quad;
    quad.hasColours = true;
    for (uint32_t v = 0; v < 4; ++v)
        quad.SetVertexColour(v, 255, 0, 0, 255);
    quad.SetPosition(0, 0, 0);
    quad.SetScale(kSide, kSide, 1);
    quad.Draw();
}

// Red at GUI pixel (x, y), y counted down from the top.
bool RedAt(int x, int y)
{
    uint8_t rgba[4];
    GLTestContext::Pixel(x, kSide - 1 - y, rgba);
    return rgba[0] == 255 && rgba[1] == 0;
}

TEST_F(DrawState, NestedClipsIntersectAndTheLastPopRestoresTheScissor)
{
    for (bool wasOn : {false, true}) {
        glScissor(1, 2, 3, 4);
        GLEnable(GL_SCISSOR_TEST, wasOn);
        PushClip(8.0f, 4.0f, 32.0f, 16.0f); // rows 4..19 from the top: 44..59 from the bottom
        EXPECT_TRUE(ScissorOn());
        EXPECT_EQ(ScissorBox(), (std::array<GLint, 4>{8, 44, 32, 16}));
        PushClip(0.0f, 10.5f, 16.9f, 64.0f); // edges truncate: 0..16 by 10..74
        EXPECT_EQ(ScissorBox(), (std::array<GLint, 4>{8, 44, 8, 10}));
        EXPECT_EQ(GetClipDepth(), 2u);
        PopClip();
        EXPECT_EQ(ScissorBox(), (std::array<GLint, 4>{8, 44, 32, 16}));
        EXPECT_TRUE(ScissorOn());
        PopClip();
        EXPECT_EQ(GetClipDepth(), 0u);
        EXPECT_EQ(ScissorBox(), (std::array<GLint, 4>{1, 2, 3, 4})) << wasOn;
        EXPECT_EQ(ScissorOn(), wasOn);
        PopClip(); // one too many changes nothing
        EXPECT_EQ(ScissorBox(), (std::array<GLint, 4>{1, 2, 3, 4}));
        EXPECT_EQ(ScissorOn(), wasOn);
    }
    GLEnable(GL_SCISSOR_TEST, false);
}

TEST_F(DrawState, DrawingStaysInsideTheClipAndDisjointClipsDrawNothing)
{
    {
        CClipScope clip(8.0f, 4.0f, 32.0f, 16.0f);
        FillRed();
    }
    EXPECT_FALSE(ScissorOn());
    EXPECT_TRUE(RedAt(8, 4));
    EXPECT_TRUE(RedAt(39, 19));
    EXPECT_FALSE(RedAt(7, 10));
    EXPECT_FALSE(RedAt(40, 10));
    EXPECT_FALSE(RedAt(20, 3));
    EXPECT_FALSE(RedAt(20, 20));

    GLClear(0, 0, 0, 1);
    {
        CClipScope outer(0.0f, 0.0f, 10.0f, 10.0f);
        CClipScope inner(20.0f, 20.0f, 10.0f, 10.0f);
        EXPECT_EQ(ScissorBox()[2], 0);
        EXPECT_EQ(ScissorBox()[3], 0);
        FillRed();
    }
    const std::vector<uint8_t> pixels = GLTestContext::ReadPixels();
    for (size_t i = 0; i < pixels.size(); i += 4)
        ASSERT_EQ(pixels[i], 0) << "pixel " << i / 4;
}

TEST_F(DrawState, OverlayPassMapsViewportPixelsAndRestoresWhatItFound)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(3.0f, 4.0f, 0.0f);
    GLEnable(GL_LIGHTING, false);
    GLEnable(GL_DEPTH_TEST, false);
    GLEnable(GL_CULL_FACE, true);
    const auto projection = Matrix(GL_PROJECTION_MATRIX), modelView = Matrix(GL_MODELVIEW_MATRIX);
    {
        COverlayPass pass;
        const auto inside = Matrix(GL_PROJECTION_MATRIX);
        EXPECT_FLOAT_EQ(inside[0], 2.0f / kSide);
        EXPECT_FLOAT_EQ(inside[5], -2.0f / kSide); // y down
        EXPECT_FLOAT_EQ(inside[12], -1.0f);
        EXPECT_FLOAT_EQ(inside[13], 1.0f);
        const std::array<GLfloat, 16> identity{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        EXPECT_EQ(Matrix(GL_MODELVIEW_MATRIX), identity);
        EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
        EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    }
    EXPECT_EQ(Matrix(GL_PROJECTION_MATRIX), projection);
    EXPECT_EQ(Matrix(GL_MODELVIEW_MATRIX), modelView);
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    GLEnable(GL_CULL_FACE, false);
}

TEST_F(DrawState, ModelViewScopeMultipliesAndThenRestores)
{
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(1.0f, 2.0f, 0.0f);
    const auto before = Matrix(GL_MODELVIEW_MATRIX);
    CMatrix move;
    move.SetTranslation(10.0f, 20.0f, 0.0f);
    {
        CModelViewScope scope(move);
        const auto inside = Matrix(GL_MODELVIEW_MATRIX);
        EXPECT_FLOAT_EQ(inside[12], 11.0f);
        EXPECT_FLOAT_EQ(inside[13], 22.0f);
    }
    EXPECT_EQ(Matrix(GL_MODELVIEW_MATRIX), before);
}

} // namespace

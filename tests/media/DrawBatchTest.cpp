// Frame batching against drawing each shape at once: the same scene (lit and unlit looks,
// tracked vertex colours, specular light, sprite frames through the texture matrix, additive
// blending, strips, fans, indexed triangles, clip rectangles, a model-view scope, a polygon
// the batch hands back) must give the same pixels both ways; overlapping shapes keep their
// order across runs, disjoint ones share runs, and what changes drawing mid-frame (a texture
// upload, a clip popped, the overlay pass) still applies to exactly the shapes before it.
#include "media/Draw.h"
#include "media/DrawBatch.h"
#include "media/DrawState.h"
#include "media/GL.h"
#include "media/Sprite.h"
#include "media/Texture.h"
#include "support/GLTestContext.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <functional>
#include <utility>
#include <vector>

namespace {

using DrawBatch = GLTest;

constexpr int kSide = GLTestContext::kSide;

std::vector<uint8_t> At(int x, int y) { return GLTestContext::ColourAt(x, y); }

CQuad Rect(float x, float y, float w, float h)
{
    CQuad quad;
    quad.SetPosition(x, y, 0);
    quad.SetScale(w, h, 1);
    return quad;
}

void Emit(CShape& shape, float r, float g, float b, float a = 1.0f)
{
    const float emission[4] = {r, g, b, 0.0f};
    std::copy(emission, emission + 4, shape.material.emission);
    std::fill(shape.material.ambient, shape.material.ambient + 4, 0.0f);
    std::fill(shape.material.diffuse, shape.material.diffuse + 3, 0.0f);
    shape.material.diffuse[3] = a;
}

// An untextured shape of the given primitive through points (x, y), vertex v coloured
// colour(v) (opaque RGB).
CShape Coloured(uint32_t mode, const std::vector<std::array<float, 2>>& points,
                const std::function<std::array<uint8_t, 3>(uint32_t)>& colour)
{
    CShape shape;
    shape.mode = mode;
    shape.hasColours = true;
    shape.SetVertexCount(static_cast<uint32_t>(points.size()));
    for (uint32_t v = 0; v < points.size(); ++v) {
        shape.VertexPosition(v).Set(points[v][0], points[v][1], 0);
        const std::array<uint8_t, 3> rgb = colour(v);
        shape.SetVertexColour(v, rgb[0], rgb[1], rgb[2], 255);
    }
    return shape;
}

// A 4 × 4 texture: left half red, right half blue, all opaque.
struct TwoColourTexture {
    CTexture texture;
    TwoColourTexture()
    {
        texture.Allocate(32, 4, 4, 4);
        for (uint32_t i = 0; i < 16; ++i) {
            uint8_t* p = texture.pixels + i * 4;
            const bool left = i % 4 < 2;
            p[0] = left ? 255 : 0;
            p[1] = 0;
            p[2] = left ? 0 : 255;
            p[3] = 255;
        }
        texture.Upload();
    }
};

// The light the application's frame sets: positional, over the middle of the target.
void GuiLight()
{
    GLEnable(GL_LIGHTING, true);
    GLLightSetup light;
    light.position = CVector(kSide / 2.0f, kSide / 2.0f, 50.0f);
    light.ambient = CVector(0.2f, 0.2f, 0.2f);
    light.diffuse = CVector(0.8f, 0.8f, 0.8f);
    light.specular = CVector(0.5f, 0.4f, 0.3f);
    GLLight(0, light);
}

// Everything the batch files differently from the immediate path, in one picture.
void Scene(const CTexture& texture)
{
    GuiLight();
    // Lit per vertex: the default material under a near light, a gradient across the quad.
    CQuad lit = Rect(2, 2, 28, 20);
    lit.Draw();
    // Tracked vertex colours under the light, half transparent.
    CQuad tracked = Rect(20, 10, 24, 20);
    tracked.hasColours = true;
    tracked.SetVertexColour(0, 255, 0, 0, 128);
    tracked.SetVertexColour(1, 0, 255, 0, 200);
    tracked.SetVertexColour(2, 0, 0, 255, 255);
    tracked.SetVertexColour(3, 255, 255, 0, 90);
    tracked.Draw();
    // Specular highlights.
    CQuad shiny = Rect(34, 2, 28, 16);
    shiny.material.specular[0] = shiny.material.specular[1] = shiny.material.specular[2] = 1.0f;
    shiny.material.shininess = 5.0f;
    shiny.Draw();
    // A sprite frame (the texture's right half) through the texture matrix, lit white.
    CSprite sprite;
    CTexture* shown = const_cast<CTexture*>(&texture);
    sprite.AddFrame("right", 2, 0, 2, 4, 0, shown);
    CQuad textured = Rect(4, 36, 20, 12);
    Emit(textured, 1, 1, 1);
    textured.InsertTextureSlot();
    sprite.target = &textured.material;
    sprite.ShowFrame(0);
    textured.Draw();
    // Additive, over the textured quad.
    CQuad glow = Rect(10, 40, 20, 10);
    Emit(glow, 0.3f, 0.5f, 0.0f, 0.5f);
    glow.material.additive = true;
    glow.Draw();
    // Strips, fans and indexed triangles, unlit, inside a clip rectangle and a moved view.
    // (State changes go through the wrappers, which tell the batch.)
    GLEnable(GL_LIGHTING, false);
    {
        CClipScope clip(30.0f, 26.0f, 30.0f, 34.0f);
        CMatrix move;
        move.SetTranslation(2.0f, 1.0f, 0.0f);
        CModelViewScope view(move);
        CShape strip = Coloured(GL_TRIANGLE_STRIP, {{28, 24}, {30, 44}, {44, 26}, {46, 46}, {70, 30}}, [](uint32_t v) {
            return std::array<uint8_t, 3>{static_cast<uint8_t>(50 * v), 200, static_cast<uint8_t>(255 - 50 * v)};
        });
        strip.Draw();
        CShape fan = strip;
        fan.mode = GL_TRIANGLE_FAN;
        fan.SetPosition(0, 14, 0);
        fan.Draw();
        CShape indexed = Coloured(GL_TRIANGLES, {{40, 50}, {56, 50}, {56, 62}, {40, 62}}, [](uint32_t v) {
            return std::array<uint8_t, 3>{255, static_cast<uint8_t>(60 * v), 0};
        });
        indexed.SetIndexCount(6);
        indexed.indices = {0, 1, 2, 0, 2, 3};
        indexed.Draw();
    }
    // A polygon, which runs do not take.
    CShape polygon = Coloured(GL_POLYGON, {{2, 52}, {14, 50}, {20, 58}, {10, 63}, {2, 60}}, [](uint32_t v) {
        return std::array<uint8_t, 3>{200, 100, static_cast<uint8_t>(40 * v)};
    });
    polygon.Draw();
}

// Pixels differing by more than `tolerance` in some channel.
int Differing(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int tolerance)
{
    int count = 0;
    for (size_t i = 0; i < a.size(); i += 4)
        for (size_t c = 0; c < 3; ++c)
            if (std::abs(int(a[i + c]) - int(b[i + c])) > tolerance) {
                ++count;
                break;
            }
    return count;
}

TEST_F(DrawBatch, AFrameBatchedLooksAsOneDrawnShapeByShape)
{
    TwoColourTexture picture;
    GLTestContext::WithEachArrayPath([&](bool buffers) {
        GLClear(0, 0, 0, 1);
        Scene(picture.texture);
        const std::vector<uint8_t> immediate = GLTestContext::ReadPixels();

        GLClear(0, 0, 0, 1);
        {
            CBatchScope batch;
            Scene(picture.texture);
        }
        const std::vector<uint8_t> batched = GLTestContext::ReadPixels();
        const BatchStats stats = GetBatchStats();
        // Lighting on the CPU rounds a little differently from the driver's.
        EXPECT_EQ(Differing(immediate, batched, 2), 0) << "vertex buffers " << buffers;
        EXPECT_EQ(stats.immediate, 1u);  // the polygon
        EXPECT_GT(stats.opaque, 0u);     // the unlit strips and triangles blend nothing
        EXPECT_EQ(stats.shapes, 8u);
        EXPECT_LT(stats.draws, stats.shapes);
        EXPECT_FALSE(IsBatching());
    });
}

TEST_F(DrawBatch, LineStripsDrawTheirPixels)
{
    auto trace = [] {
        std::vector<std::array<float, 2>> zigzag;
        for (uint32_t v = 0; v < 40; ++v)
            zigzag.push_back({2.5f + 1.5f * v, 32.5f + ((v % 2) ? 20.0f : -20.0f) * (v % 5) / 4.0f});
        auto green = [](uint32_t) { return std::array<uint8_t, 3>{0, 255, 0}; };
        Coloured(GL_LINE_STRIP, zigzag, green).Draw();
        auto red = [](uint32_t) { return std::array<uint8_t, 3>{255, 0, 0}; };
        Coloured(GL_LINE_LOOP, {{10.5f, 10.5f}, {50.5f, 10.5f}, {50.5f, 50.5f}, {10.5f, 50.5f}}, red).Draw();
        // A trace's flat stretch: the same point several times over, then a step.
        auto blue = [](uint32_t) { return std::array<uint8_t, 3>{0, 0, 255}; };
        CShape flat = Coloured(GL_LINE_STRIP,
                               {{5.5f, 60.5f}, {5.5f, 60.5f}, {5.5f, 60.5f}, {9.5f, 60.5f}, {9.5f, 60.5f},
                                {9.5f, 56.5f}, {9.5f, 56.5f}, {14.5f, 56.5f}},
                               blue);
        flat.Draw();
    };
    trace();
    const std::vector<uint8_t> immediate = GLTestContext::ReadPixels();
    GLClear(0, 0, 0, 1);
    {
        CBatchScope batch;
        trace();
    }
    const std::vector<uint8_t> batched = GLTestContext::ReadPixels();
    // Strips become separate segments (those of no length left out): at most a joint pixel
    // may differ.
    EXPECT_LE(Differing(immediate, batched, 0), 4);
    EXPECT_EQ(At(7, 60), (std::vector<uint8_t>{0, 0, 255}));
    EXPECT_EQ(At(9, 58), (std::vector<uint8_t>{0, 0, 255}));
    EXPECT_EQ(GetBatchStats().draws, 1u);
}

TEST_F(DrawBatch, OverlapsKeepTheirOrderAndDisjointShapesShareRuns)
{
    TwoColourTexture picture;
    auto textured = [&](float x, float y) {
        CQuad quad = Rect(x, y, 12, 12);
        Emit(quad, 1, 1, 1);
        quad.material.textures = {picture.texture.glName};
        quad.Draw(); // the texture's left half shows at the quad's left (red)
    };
    auto green = [](float x, float y) {
        CQuad quad = Rect(x, y, 12, 12);
        Emit(quad, 0, 1, 0);
        quad.Draw();
    };
    GLEnable(GL_LIGHTING, true);
    {
        CBatchScope batch;
        // Alternating looks, far apart: two runs.
        for (int i = 0; i < 4; ++i) {
            textured(2.0f + 14 * i, 2.0f);
            green(2.0f + 14 * i, 18.0f);
        }
    }
    EXPECT_EQ(GetBatchStats().draws, 2u);
    EXPECT_EQ(At(4, 8), (std::vector<uint8_t>{255, 0, 0}));
    EXPECT_EQ(At(6, 24), (std::vector<uint8_t>{0, 255, 0}));

    GLClear(0, 0, 0, 1);
    {
        CBatchScope batch;
        textured(20, 36); // under
        green(24, 40);    // over it
        textured(28, 44); // over both: may not join the first run
    }
    EXPECT_EQ(GetBatchStats().draws, 3u);
    EXPECT_EQ(At(21, 37), (std::vector<uint8_t>{255, 0, 0}));
    EXPECT_EQ(At(26, 42), (std::vector<uint8_t>{0, 255, 0}));
    EXPECT_EQ(At(29, 45), (std::vector<uint8_t>{255, 0, 0}));
}

TEST_F(DrawBatch, ChangesMidFrameApplyToTheShapesAfterThem)
{
    GLEnable(GL_LIGHTING, true);
    CTexture texture;
    auto fill = [&](uint8_t r, uint8_t g, uint8_t b) {
        texture.Allocate(32, 2, 2, 4);
        for (uint32_t i = 0; i < 4; ++i) {
            texture.pixels[i * 4] = r;
            texture.pixels[i * 4 + 1] = g;
            texture.pixels[i * 4 + 2] = b;
            texture.pixels[i * 4 + 3] = 255;
        }
        texture.Upload();
    };
    fill(255, 0, 0);
    auto quad = [&](float x, float y) {
        CQuad shape = Rect(x, y, 16, 16);
        Emit(shape, 1, 1, 1);
        shape.material.textures = {texture.glName};
        shape.Draw();
    };
    {
        CBatchScope batch;
        // Clipped to its left half, then the clip goes before the flush.
        {
            CClipScope clip(0.0f, 0.0f, 8.0f, 64.0f);
            quad(0, 0);
        }
        quad(20, 0);         // red
        fill(0, 0, 255);     // the same texture name, a new picture
        quad(40, 0);         // blue
        {
            // On top of the frame, in its own pass, after everything before it.
            COverlayPass overlay;
            CQuad top = Rect(20, 4, 4, 4);
            Emit(top, 0, 1, 0);
            top.Draw();
        }
        quad(0, 40);
    }
    EXPECT_EQ(At(4, 8), (std::vector<uint8_t>{255, 0, 0}));
    EXPECT_EQ(At(12, 8), (std::vector<uint8_t>{0, 0, 0}));
    EXPECT_EQ(At(30, 12), (std::vector<uint8_t>{255, 0, 0}));
    EXPECT_EQ(At(50, 12), (std::vector<uint8_t>{0, 0, 255}));
    EXPECT_EQ(At(21, 5), (std::vector<uint8_t>{0, 255, 0}));
    EXPECT_EQ(At(8, 48), (std::vector<uint8_t>{0, 0, 255}));
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
}

// Draws the frame once shape by shape and once batched (cleared inside the batch, as the
// application's frames are) and gives both pictures.
std::pair<std::vector<uint8_t>, std::vector<uint8_t>> BothWays(const std::function<void()>& frame)
{
    GLClear(0, 0, 0, 1);
    frame();
    std::vector<uint8_t> immediate = GLTestContext::ReadPixels();
    {
        CBatchScope batch;
        GLClear(0, 0, 0, 1);
        frame();
    }
    return {std::move(immediate), GLTestContext::ReadPixels()};
}

TEST_F(DrawBatch, TexturesThatOnlyMagnifySampleWithoutMipmapsAndLookTheSame)
{
    // 16 × 16 texels of a fine checkerboard, so that minifying through the mipmaps averages
    // it to grey while magnifying keeps the squares.
    CTexture texture;
    texture.Allocate(32, 16, 16, 4);
    for (uint32_t i = 0; i < 256; ++i) {
        const uint8_t v = ((i % 16) + (i / 16)) % 2 ? 255 : 0;
        std::fill(texture.pixels + i * 4, texture.pixels + i * 4 + 3, v);
        texture.pixels[i * 4 + 3] = 255;
    }
    texture.Upload();
    GLEnable(GL_LIGHTING, true);
    auto quad = [&](float x, float y, float w, float h) {
        CQuad shape = Rect(x, y, w, h);
        Emit(shape, 1, 1, 1);
        shape.material.textures = {texture.glName};
        shape.Draw();
    };
    const auto one = BothWays([&] { quad(0, 0, 16, 16); quad(20, 0, 40, 24); });
    EXPECT_EQ(Differing(one.first, one.second, 0), 0);
    EXPECT_EQ(GetBatchStats().magnified, 1u); // one run: 1:1 and enlarged alike
    const auto minified = BothWays([&] { quad(0, 30, 8, 8); quad(20, 30, 16, 5); });
    EXPECT_EQ(Differing(minified.first, minified.second, 1), 0);
    EXPECT_EQ(GetBatchStats().magnified, 0u);
    EXPECT_EQ(At(3, 33)[0], At(4, 33)[0]); // averaged: the squares are gone
}

TEST_F(DrawBatch, TheDepthTestIsLeftOutOnlyWhenNoFragmentCouldFailIt)
{
    GLEnable(GL_LIGHTING, true);
    auto quad = [](float x, float y, float z, float r, float g, float b) {
        CQuad shape = Rect(x, y, 20, 20);
        shape.SetPosition(x, y, z);
        Emit(shape, r, g, b);
        shape.Draw();
    };
    // Painter's order: each later shape is nearer (or as near) where they meet.
    const auto painted = BothWays([&] {
        quad(0, 0, 1, 1, 0, 0);
        quad(10, 10, 2, 0, 1, 0);
        quad(20, 20, 2, 0, 0, 1);
        quad(40, 0, 0, 1, 1, 0); // far back, but meets nothing
    });
    EXPECT_EQ(Differing(painted.first, painted.second, 0), 0);
    EXPECT_EQ(GetBatchStats().depthFree, 1u);

    // A later shape behind an earlier one it overlaps: the test hides part of it.
    const auto hidden = BothWays([&] {
        quad(0, 0, 5, 1, 0, 0);
        quad(10, 10, 1, 0, 1, 0);
    });
    EXPECT_EQ(Differing(hidden.first, hidden.second, 0), 0);
    EXPECT_EQ(GetBatchStats().depthFree, 0u);
    EXPECT_EQ(At(15, 15), (std::vector<uint8_t>{255, 0, 0}));
    EXPECT_EQ(At(25, 25), (std::vector<uint8_t>{0, 255, 0}));

    // Shapes that only touch share no pixel.
    BothWays([&] {
        quad(0, 0, 5, 1, 0, 0);
        quad(20, 0, 1, 0, 1, 0);
    });
    EXPECT_EQ(GetBatchStats().depthFree, 1u);
}

TEST_F(DrawBatch, ShapesWhollyOutsideTheViewOrTheClipAreDropped)
{
    GLEnable(GL_LIGHTING, true);
    auto quad = [](float x, float y) {
        CQuad shape = Rect(x, y, 10, 10);
        Emit(shape, 1, 1, 0);
        shape.Draw();
    };
    {
        CBatchScope batch;
        quad(70, 10);  // right of the target
        quad(10, -30); // above it
        quad(58, 58);  // partly inside: drawn
        CClipScope clip(0.0f, 0.0f, 20.0f, 20.0f);
        quad(25, 5);   // outside the clip
        quad(15, 15);  // partly inside it
    }
    const BatchStats stats = GetBatchStats();
    EXPECT_EQ(stats.culled, 3u);
    EXPECT_EQ(stats.shapes, 2u);
    EXPECT_EQ(At(60, 60), (std::vector<uint8_t>{255, 255, 0}));
    EXPECT_EQ(At(17, 17), (std::vector<uint8_t>{255, 255, 0}));
    EXPECT_EQ(At(22, 17), (std::vector<uint8_t>{0, 0, 0}));
    EXPECT_EQ(At(27, 7), (std::vector<uint8_t>{0, 0, 0}));
}

TEST_F(DrawBatch, NestedScopesDrawOnceAtTheOutermostEnd)
{
    CQuad quad = Rect(0, 0, 8, 8);
    quad.hasColours = true;
    for (uint32_t v = 0; v < 4; ++v)
        quad.SetVertexColour(v, 255, 255, 255, 255);
    {
        CBatchScope outer;
        {
            CBatchScope inner;
            quad.Draw();
        }
        EXPECT_TRUE(IsBatching());
        EXPECT_EQ(At(2, 2), (std::vector<uint8_t>{0, 0, 0})); // filed, not yet drawn
    }
    EXPECT_FALSE(IsBatching());
    EXPECT_EQ(At(2, 2), (std::vector<uint8_t>{255, 255, 255}));
    EndBatch(); // one too many changes nothing
    EXPECT_FALSE(IsBatching());
}

} // namespace

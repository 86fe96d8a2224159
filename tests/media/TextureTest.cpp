// Texture canvases and uploads, sprite frames, frame selection and animation. The upload
// tests need an OpenGL context (GLTest skips without one).
#include "media/Draw.h"
#include "media/GL.h"
#include "media/Sprite.h"
#include "media/Texture.h"
#include "support/GLTestContext.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

TEST(Texture, CanvasIsTheNextPowerOfTwoSquare)
{
    EXPECT_EQ(CTexture::CanvasSide(100, 60), 128u);
    EXPECT_EQ(CTexture::CanvasSide(64, 64), 64u);
    EXPECT_EQ(CTexture::CanvasSide(64, 32), 64u);
    EXPECT_EQ(CTexture::CanvasSide(3, 17), 32u);
    EXPECT_EQ(CTexture::CanvasSide(1, 1), 1u);
    EXPECT_EQ(CTexture::CanvasSide(0, 5), 0u);
}

TEST(SpriteFrame, WholePictureFrameOnAPaddedCanvas)
{
    CTexture texture;
    texture.width = 100;
    texture.height = 60;
    texture.size = 128; // as after uploading a 100 × 60 picture
    CSprite sprite;
    sprite.AddFrame("", 0, 0, 100, 60, 0, &texture);
    const CSpriteFrame& frame = sprite.frames[0];
    EXPECT_FLOAT_EQ(frame.s, 0.0f);
    EXPECT_FLOAT_EQ(frame.t, 0.53125f);
    EXPECT_FLOAT_EQ(frame.sw, 0.78125f);
    EXPECT_FLOAT_EQ(frame.th, 0.46875f);
}

TEST(SpriteFrame, TextureScaleMultipliesTheRectangle)
{
    CTexture texture;
    texture.size = 64;
    texture.scaleX = 2.0f;
    texture.scaleY = 0.5f;
    CSpriteFrame frame;
    CSprite::SetFrame(frame, 3, 10, 5, 9, 40, &texture);
    EXPECT_EQ(frame.x, 6);
    EXPECT_EQ(frame.w, 10);
    EXPECT_EQ(frame.y, 5);
    EXPECT_EQ(frame.h, 4); // 4.5 truncated
    EXPECT_EQ(frame.delay, 40u);
    EXPECT_FLOAT_EQ(frame.t, (64.0f - 4 - 5) / 64.0f);
}

TEST(SpriteFrame, NoCoordinatesBeforeTheUpload)
{
    CTexture texture; // size 0: not uploaded
    CSprite sprite;
    sprite.AddFrame("a", 1, 2, 3, 4, 0, &texture);
    sprite.AddFrame("b", 1, 2, 3, 4, 0, nullptr);
    for (const CSpriteFrame& frame : sprite.frames)
        EXPECT_EQ(frame.s + frame.t + frame.sw + frame.th, 0.0f);
    texture.size = 8;
    sprite.ComputeTexCoords();
    EXPECT_FLOAT_EQ(sprite.frames[0].sw, 3.0f / 8.0f);
}

TEST(Sprite, FindFrameMatchesNamesExactly)
{
    CSprite sprite;
    sprite.AddFrame("A", 0, 0, 1, 1, 0, nullptr);
    sprite.AddFrame("a", 0, 0, 2, 1, 0, nullptr);
    sprite.AddFrame("a", 0, 0, 3, 1, 0, nullptr);
    ASSERT_NE(sprite.FindFrame("a"), nullptr);
    EXPECT_EQ(sprite.FindFrame("a")->w, 2);
    EXPECT_EQ(sprite.FindFrame("ab"), nullptr);
    EXPECT_EQ(sprite.kind, ResourceSprite);
}

TEST(Sprite, ShowFrameDrivesTheTargetMaterial)
{
    CTexture texture;
    texture.size = 128;
    texture.glName = 42;
    CSprite sprite;
    sprite.AddFrame("", 0, 0, 100, 60, 0, &texture);
    sprite.AddFrame("", 0, 0, 1, 1, 0, nullptr);
    CQuad quad;
    quad.InsertTextureSlot();
    sprite.target = &quad.material;
    sprite.ShowFrame(0);
    const CMatrix& m = quad.material.textureMatrix;
    EXPECT_FLOAT_EQ(m.At(0), 0.78125f);
    EXPECT_FLOAT_EQ(m.At(5), 0.46875f);
    EXPECT_FLOAT_EQ(m.At(12), 0.0f);
    EXPECT_FLOAT_EQ(m.At(13), 0.53125f);
    EXPECT_EQ(quad.material.textures[0], 42u);

    sprite.ShowFrame(1); // no texture: only the index changes
    EXPECT_EQ(sprite.current, 1u);
    EXPECT_FLOAT_EQ(m.At(0), 0.78125f);
    sprite.ShowFrame(2); // past the last frame: nothing
    EXPECT_EQ(sprite.current, 1u);
    sprite.target = nullptr;
    sprite.ShowFrame(0); // no target: nothing
    EXPECT_EQ(sprite.current, 1u);
}

TEST(Sprite, CopiesTakeTheFramesButNotTheTarget)
{
    CMaterial material;
    CSprite sprite;
    sprite.AddFrame("x", 1, 2, 3, 4, 5, nullptr);
    sprite.target = &material;
    sprite.fps = 25;
    CSprite copy(sprite);
    EXPECT_EQ(copy.FrameCount(), 1u);
    EXPECT_EQ(copy.frames[0].name, "x");
    EXPECT_EQ(copy.fps, 25u);
    EXPECT_EQ(copy.target, nullptr);
    CMaterial other;
    copy.target = &other;
    copy = sprite;
    EXPECT_EQ(copy.target, &other);
}

TEST(Sprite, AnimateAdvancesWhenTheClockPassesTheSwitch)
{
    CSprite sprite;
    sprite.AddFrame("", 0, 0, 1, 1, 100, nullptr);
    sprite.AddFrame("", 0, 0, 1, 1, 50, nullptr);
    sprite.Animate(10);
    EXPECT_EQ(sprite.current, 1u);
    EXPECT_EQ(sprite.nextSwitch, 60u);
    sprite.Animate(60); // not beyond yet
    EXPECT_EQ(sprite.current, 1u);
    sprite.Animate(61);
    EXPECT_EQ(sprite.current, 0u);
    EXPECT_EQ(sprite.nextSwitch, 161u);
}

TEST(Sprite, AnimateAcrossTheClockWrap)
{
    CSprite sprite;
    sprite.AddFrame("", 0, 0, 1, 1, 100, nullptr);
    sprite.AddFrame("", 0, 0, 1, 1, 100, nullptr);
    sprite.nextSwitch = 0xFFFFFFF0u;
    sprite.Animate(0xFFFFFFE0u);
    EXPECT_EQ(sprite.current, 0u);
    sprite.Animate(5); // 21 ms later, after the wrap
    EXPECT_EQ(sprite.current, 1u);
    EXPECT_EQ(sprite.nextSwitch, 105u);
}

TEST(Sprite, OneFrameWithoutDelayIsShownOnEveryDueCall)
{
    CMaterial material;
    material.textures.push_back(0);
    CTexture texture;
    texture.size = 4;
    texture.glName = 7;
    CSprite sprite;
    sprite.AddFrame("", 0, 0, 4, 4, 0, &texture);
    sprite.target = &material;
    for (uint32_t now = 1; now < 4; ++now) {
        material.textures[0] = 0;
        sprite.Animate(now);
        EXPECT_EQ(sprite.current, 0u);
        EXPECT_EQ(material.textures[0], 7u) << now;
    }
    CSprite empty;
    empty.Animate(100); // no frames: nothing to do
    EXPECT_EQ(empty.current, 0u);
}

// [SECTION] Uploads

using TextureUpload = GLTest;

// A width × height RGBA picture whose pixel (x, y from the bottom) is (x, y, 7, 255).
void FillCoordinates(CTexture& texture, uint32_t width, uint32_t height)
{
    texture.Allocate(32, width, height, 4);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t* p = texture.pixels + (y * width + x) * 4;
            p[0] = static_cast<uint8_t>(x);
            p[1] = static_cast<uint8_t>(y);
            p[2] = 7;
            p[3] = 255;
        }
}

std::vector<uint8_t> TextureLevel0(uint32_t name, int side)
{
    std::vector<uint8_t> texels(static_cast<size_t>(side) * side * 4);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    return texels;
}

TEST_F(TextureUpload, PictureSitsInTheTopLeftOfATransparentCanvas)
{
    CTexture texture;
    FillCoordinates(texture, 100, 60);
    texture.Upload();
    ASSERT_NE(texture.glName, 0u);
    EXPECT_EQ(texture.size, 128u);
    EXPECT_EQ(texture.pixels, nullptr);
    EXPECT_EQ(texture.width, 100u);
    const std::vector<uint8_t> texels = TextureLevel0(texture.glName, 128);
    auto texel = [&](int x, int y) { return &texels[(static_cast<size_t>(y) * 128 + x) * 4]; };
    // The picture's bottom row is canvas row 128 − 60; its top row the canvas's top.
    EXPECT_EQ(std::vector<uint8_t>(texel(5, 68), texel(5, 68) + 4), (std::vector<uint8_t>{5, 0, 7, 255}));
    EXPECT_EQ(std::vector<uint8_t>(texel(99, 127), texel(99, 127) + 4), (std::vector<uint8_t>{99, 59, 7, 255}));
    EXPECT_EQ(std::vector<uint8_t>(texel(100, 127), texel(100, 127) + 4), (std::vector<uint8_t>{0, 0, 0, 0}));
    EXPECT_EQ(std::vector<uint8_t>(texel(5, 67), texel(5, 67) + 4), (std::vector<uint8_t>{0, 0, 0, 0}));
}

TEST_F(TextureUpload, SquarePowerOfTwoIsUploadedUnchangedAndNamesAreReused)
{
    CTexture texture;
    FillCoordinates(texture, 64, 64);
    texture.Upload();
    EXPECT_EQ(texture.size, 64u);
    const uint32_t name = texture.glName;
    EXPECT_EQ(TextureLevel0(name, 64)[(63 * 64 + 63) * 4], 63);
    FillCoordinates(texture, 64, 32);
    texture.Upload();
    EXPECT_EQ(texture.size, 64u);
    EXPECT_EQ(texture.glName, name);
    GLint levelWidth = 0;
    glBindTexture(GL_TEXTURE_2D, name);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 6, GL_TEXTURE_WIDTH, &levelWidth);
    EXPECT_EQ(levelWidth, 1); // every mipmap level down to 1 × 1 was built
}

TEST_F(TextureUpload, NothingWithoutPixelsOrWithOddChannels)
{
    CTexture empty;
    empty.Upload();
    EXPECT_EQ(empty.glName, 0u);
    EXPECT_EQ(empty.size, 0u);
    CTexture odd;
    odd.Allocate(40, 2, 2, 5);
    odd.Upload();
    EXPECT_EQ(odd.glName, 0u);
    EXPECT_NE(odd.pixels, nullptr);
}

TEST_F(TextureUpload, GreyWithAlphaKeepsItsAlpha)
{
    CTexture texture;
    texture.Allocate(16, 2, 2, 2);
    const uint8_t values[8] = {200, 10, 200, 20, 200, 30, 200, 40};
    std::memcpy(texture.pixels, values, sizeof(values));
    texture.Upload();
    const std::vector<uint8_t> texels = TextureLevel0(texture.glName, 2);
    EXPECT_EQ(texels[0], 200);
    EXPECT_EQ(texels[3], 10);
    EXPECT_EQ(texels[15], 40);
}

TEST_F(TextureUpload, DestroyingTheTextureDeletesItsName)
{
    uint32_t name;
    {
        CTexture texture;
        FillCoordinates(texture, 4, 4);
        texture.Upload();
        name = texture.glName;
        EXPECT_TRUE(glIsTexture(name));
    }
    EXPECT_FALSE(glIsTexture(name));
}

} // namespace

// Font entries (glyphs rendered with FreeType into one picture, one frame per character named
// in UTF-8, and the replacement glyph), hostile font settings, and what loading uploads when
// an OpenGL context is current.
#include "media/GlyphImage.h"
#include "media/Image.h"
#include "media/ResourceManager.h"
#include "media/Sprite.h"
#include "media/Texture.h"
#include "support/GLTestContext.h"
#include "support/TempDir.h"
#include "support/TestMedia.h"
#include "xml/XMLDocument.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

class FontEntry : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::filesystem::exists(kTestFontPath))
            GTEST_SKIP() << "no font at " << kTestFontPath << " (Debian's fonts-dejavu-core)";
        manager.SetUploadTextures(false);
    }

    CSprite* LoadFont(const std::string& attributes)
    {
        CXMLDocument document;
        const std::string text = std::string("<r><font name='f' file='") + kTestFontPath + "' " + attributes + "/></r>";
        EXPECT_TRUE(document.Parse(text.c_str()));
        manager.LoadEntries(document);
        return dynamic_cast<CSprite*>(manager.Find("f"));
    }

    CResourceManager manager;
};

// The alpha of picture pixel (x, y), y from the top.
uint8_t AlphaAt(const CImage& image, int32_t x, int32_t y)
{
    return image.pixels[(static_cast<size_t>(image.height - 1 - y) * image.width + x) * 4 + 3];
}

// The glyph cells (frames) that hold coverage above alpha 128.
uint32_t Covered(const CImage& image, const CSpriteFrame& frame)
{
    uint32_t covered = 0;
    for (int32_t y = frame.y; y < frame.y + frame.h; ++y)
        for (int32_t x = frame.x; x < frame.x + frame.w; ++x)
            covered += AlphaAt(image, x, y) > 128;
    return covered;
}

TEST_F(FontEntry, SixLettersMakeOneRowNamedByTheirCharacters)
{
    CSprite* font = LoadFont("start='65' end='70'");
    ASSERT_NE(font, nullptr);
    ASSERT_EQ(font->FrameCount(), 7u); // and the replacement glyph, last
    EXPECT_EQ(font->frames[6].name, String("\xEF\xBF\xBD"));
    auto* glyphs = dynamic_cast<CTexture*>(manager.Find(kTestFontPath));
    ASSERT_NE(glyphs, nullptr);
    EXPECT_EQ(manager.Get(0), glyphs); // the picture is added before the sprite
    EXPECT_EQ(glyphs->file, String(kTestFontPath));
    ASSERT_NE(glyphs->pixels, nullptr);
    EXPECT_EQ(glyphs->channels, 4u);

    int32_t advances = 0, pen = 2;
    const int32_t cell = font->frames[0].h;
    EXPECT_GE(cell, 12);
    for (uint32_t i = 0; i < 7; ++i) {
        const CSpriteFrame& frame = font->frames[i];
        if (i < 6) {
            EXPECT_EQ(frame.name, String(std::string(1, static_cast<char>('A' + i)).c_str()));
        }
        EXPECT_EQ(frame.x, pen);
        EXPECT_EQ(frame.y, 2);
        EXPECT_EQ(frame.h, cell);
        EXPECT_GT(frame.w, 0);
        EXPECT_EQ(frame.texture, glyphs);
        advances += frame.w;
        pen += frame.w + 2;
        // Every glyph leaves some coverage inside its own cell.
        EXPECT_GT(Covered(*glyphs, frame), 4u) << frame.name.CStr();
    }
    EXPECT_EQ(glyphs->width, static_cast<uint32_t>(advances + 18));
    EXPECT_EQ(glyphs->height, static_cast<uint32_t>(cell + 2));
    // The margin above the first row stays clear.
    for (uint32_t x = 0; x < glyphs->width; ++x)
        EXPECT_EQ(AlphaAt(*glyphs, static_cast<int32_t>(x), 0), 0);
}

TEST_F(FontEntry, EveryCellOfAFullCharacterSetLiesInsideThePicture)
{
    // Rows of equal advances (a monospaced face) wrap sooner when placed than when measured
    // in sixteens: the picture must still hold the last row.
    const std::string mono = std::filesystem::path(kTestFontPath).replace_filename("DejaVuSansMono.ttf").string();
    for (const std::string& path : {std::string(kTestFontPath), mono}) {
        if (!std::filesystem::exists(path))
            continue;
        CResourceManager fonts;
        fonts.SetUploadTextures(false);
        CXMLDocument document;
        ASSERT_TRUE(document.Parse(("<r><font name='f' height='20' file='" + path + "'/></r>").c_str()));
        fonts.LoadEntries(document); // start 0, end 255
        auto* font = dynamic_cast<CSprite*>(fonts.Find("f"));
        auto* glyphs = dynamic_cast<CTexture*>(fonts.Find(path.c_str()));
        ASSERT_NE(glyphs, nullptr) << path;
        // The printable ASCII and Latin-1 characters (the controls have no glyphs), and the
        // replacement glyph.
        EXPECT_GE(font->FrameCount(), 95u + 96u + 1u);
        EXPECT_LE(font->FrameCount(), 257u);
        for (const CSpriteFrame& frame : font->frames) {
            EXPECT_GE(frame.x, 2);
            EXPECT_LE(static_cast<uint32_t>(frame.x + frame.w), glyphs->width) << path << int(frame.name[0]);
            EXPECT_LE(static_cast<uint32_t>(frame.y + frame.h), glyphs->height) << path << int(frame.name[0]);
        }
        // The last glyph is drawn where its frame says.
        EXPECT_GT(Covered(*glyphs, font->frames.back()), 10u) << path;
    }
}

TEST_F(FontEntry, LatinOneAndLaterCharactersAreNamedInUtf8)
{
    CSprite* font = LoadFont("start='200' end='400'");
    ASSERT_NE(font, nullptr);
    auto* glyphs = dynamic_cast<CTexture*>(manager.Find(kTestFontPath));
    ASSERT_NE(glyphs, nullptr);
    for (const char* name : {"\xC3\xA9" /* é */, "\xC3\x9C" /* Ü */, "\xC5\x93" /* œ, U+0153 */}) {
        const CSpriteFrame* frame = font->FindFrame(name);
        ASSERT_NE(frame, nullptr) << name;
        EXPECT_GT(Covered(*glyphs, *frame), 4u) << name;
    }
    EXPECT_EQ(font->FindFrame("\xE9"), nullptr); // never the bare Latin-1 byte
    EXPECT_NE(font->FindFrame("\xEF\xBF\xBD"), nullptr);
    // Names are in code order, the replacement last.
    uint32_t previous = 0;
    for (const CSpriteFrame& frame : font->frames) {
        uint32_t code = 0;
        ASSERT_EQ(Utf8Decode(frame.name.CStr(), frame.name.Length(), 0, &code), frame.name.Length());
        EXPECT_GT(code, previous);
        previous = code;
    }
}

TEST_F(FontEntry, AFaceWithoutAReplacementGlyphGetsAHollowBox)
{
    // A range that holds U+FFFD brings no second one.
    CSprite* withIt = LoadFont("start='65533' end='65533'");
    ASSERT_EQ(withIt->FrameCount(), 1u);
    manager.Clear();

    // A range without any glyph of the face renders nothing, replacement or not.
    CImage none;
    std::vector<GlyphCell> noCells;
    EXPECT_FALSE(RenderGlyphImage(kTestFontPath, 20, 0xE000, 0xE0FF, none, noCells)); // private use
    EXPECT_TRUE(noCells.empty());

    // DejaVu's maths face has no U+FFFD: a box outline (10 by 14 pixels at height 20) stands in.
    const std::string maths = std::filesystem::path(kTestFontPath).replace_filename("DejaVuMathTeXGyre.ttf").string();
    if (!std::filesystem::exists(maths))
        GTEST_SKIP() << "no face without a replacement glyph at " << maths;
    CImage image;
    std::vector<GlyphCell> cells;
    ASSERT_TRUE(RenderGlyphImage(maths.c_str(), 20, 'A', 'A', image, cells));
    ASSERT_EQ(cells.size(), 2u);
    EXPECT_EQ(cells[1].code, kGlyphReplacement);
    EXPECT_EQ(cells[1].w, 12);
    CSpriteFrame box;
    box.x = cells[1].x;
    box.y = cells[1].y;
    box.w = cells[1].w;
    box.h = cells[1].h;
    EXPECT_EQ(Covered(image, box), 2u * (10u + 14u) - 4u); // the outline, hollow inside
}

TEST_F(FontEntry, HostileSettingsAreRefusedOrClamped)
{
    EXPECT_EQ(LoadFont("height='0' start='65' end='70'")->FrameCount(), 0u);
    EXPECT_EQ(manager.GetCount(), 1u); // the empty font sprite, and no picture
    manager.Clear();
    EXPECT_EQ(LoadFont("height='-40'")->FrameCount(), 0u);
    manager.Clear();
    EXPECT_EQ(LoadFont("start='70' end='65'")->FrameCount(), 0u);
    manager.Clear();
    CSprite* huge = LoadFont("height='2000000000' start='65' end='66'");
    ASSERT_EQ(huge->FrameCount(), 3u);
    EXPECT_GE(huge->frames[0].h, kMaxGlyphHeight);
    EXPECT_LE(huge->frames[0].h, 2 * kMaxGlyphHeight);
    manager.Clear();
    CSprite* wide = LoadFont("start='-100000' end='100000'");
    EXPECT_LE(wide->FrameCount(), static_cast<uint32_t>(kMaxGlyphCount) + 1u);

    CResourceManager other;
    other.SetUploadTextures(false);
    CXMLDocument document;
    ASSERT_TRUE(document.Parse("<r><font name='gone' file='/nonexistent/font.ttf'/></r>"));
    other.LoadEntries(document);
    ASSERT_EQ(other.GetCount(), 1u);
    EXPECT_EQ(dynamic_cast<CSprite*>(other.Find("gone"))->FrameCount(), 0u);
}

using ResourceUpload = GLTest;

TEST_F(ResourceUpload, TexturesAndGlyphPicturesAreUploadedWithTheirFrames)
{
    TempDir dir;
    const std::string picture = dir.File("p.png");
    WriteSolidPng(picture, 100, 60, 0x00FF00FF);
    std::string text = "<r><sprite name='s' file='" + picture + "'/>";
    const bool haveFont = std::filesystem::exists(kTestFontPath);
    if (haveFont)
        text += std::string("<font name='f' file='") + kTestFontPath + "' start='65' end='70'/>";
    text += "</r>";
    CXMLDocument document;
    ASSERT_TRUE(document.Parse(text.c_str()));
    CResourceManager manager;
    manager.LoadEntries(document);

    auto* texture = dynamic_cast<CTexture*>(manager.Find(picture.c_str()));
    ASSERT_NE(texture, nullptr);
    EXPECT_NE(texture->glName, 0u);
    EXPECT_EQ(texture->size, 128u);
    EXPECT_EQ(texture->pixels, nullptr); // the picture lives on the card now
    const CSpriteFrame& whole = dynamic_cast<CSprite*>(manager.Find("s"))->frames[0];
    EXPECT_FLOAT_EQ(whole.t, (128.0f - 60.0f) / 128.0f);
    EXPECT_FLOAT_EQ(whole.sw, 100.0f / 128.0f);
    if (!haveFont)
        return;
    auto* glyphs = dynamic_cast<CTexture*>(manager.Find(kTestFontPath));
    ASSERT_NE(glyphs, nullptr);
    EXPECT_NE(glyphs->glName, 0u);
    const CSpriteFrame& b = dynamic_cast<CSprite*>(manager.Find("f"))->frames[1];
    EXPECT_GT(b.sw, 0.0f);
    EXPECT_FLOAT_EQ(b.s, static_cast<float>(b.x) / static_cast<float>(glyphs->size));
}

} // namespace

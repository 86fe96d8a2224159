// The text element laid out without drawing: line breaks, word wrap, breaks inside long
// words, the vertical cut, alignment by the anchor, masks, missing glyphs, scale and kern,
// the glyph table (by code point, UTF-8 names, the replacement glyph), caret stops, and the
// description attributes.
#include "GlyphSprite.h"

#include "gui/Font.h"
#include "xml/XMLDocument.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

class TextLayout : public ::testing::Test {
protected:
    void SetUp() override
    {
        glyphs.reset(NewGlyphSprite(&texture));
        text.SetSprite(*glyphs);
    }

    // Lays out s in the box (x, y, w, h) with the anchor.
    const CTextLayout& Lay(const char* s, float x, float y, float w, float h, int32_t anchor = 0)
    {
        text.SetText(s);
        text.SetPosition(x, y);
        text.SetSize(w, h);
        text.SetAlign(anchor);
        text.Layout(layout);
        return layout;
    }

    // The drawn glyph frames as characters (frames past 255 as '?'), lines separated by '|'.
    std::string Lines() const
    {
        std::string lines;
        for (size_t i = 0; i < layout.glyphs.size(); ++i) {
            if (i > 0 && layout.glyphs[i].y != layout.glyphs[i - 1].y)
                lines += '|';
            lines += layout.glyphs[i].frame < 256 ? static_cast<char>(layout.glyphs[i].frame) : '?';
        }
        return lines;
    }

    // Where each line starts: "x,y" per line.
    std::vector<std::string> Starts() const
    {
        std::vector<std::string> starts;
        for (size_t i = 0; i < layout.glyphs.size(); ++i)
            if (i == 0 || layout.glyphs[i].y != layout.glyphs[i - 1].y)
                starts.push_back(std::to_string(static_cast<int>(layout.glyphs[i].x)) + "," +
                                 std::to_string(static_cast<int>(layout.glyphs[i].y)));
        return starts;
    }

    CTexture texture;
    std::unique_ptr<CSprite> glyphs;
    CFont text;
    CTextLayout layout;
};

using Places = std::vector<std::string>;

TEST_F(TextLayout, BackslashNBecomesALineBreakUnlessEscaped)
{
    text.SetText("AB\\nC");
    EXPECT_STREQ(text.GetText().CStr(), "AB\nC");
    text.SetText("A\\\\nB\\");
    EXPECT_STREQ(text.GetText().CStr(), "A\\nB\\");
    text.SetText("\\n\\n");
    EXPECT_STREQ(text.GetText().CStr(), "\n\n");

    // The second line starts one line height plus the lead lower, at the left again.
    text.SetLead(3);
    Lay("AB\\nCD", 10, 20, 100, 100);
    EXPECT_EQ(Lines(), "AB|CD");
    EXPECT_EQ(Starts(), (Places{"10,20", "10,33"}));
    EXPECT_EQ(layout.lines, 2u);
}

TEST_F(TextLayout, WordsWrapAtSpacesAndLongWordsBetweenLetters)
{
    // AB + space + CD = 28 fits in 40; CD would end at 44 and goes to the next line.
    Lay("AB CD EF", 0, 0, 40, 100);
    EXPECT_EQ(Lines(), "AB CD|EF");
    EXPECT_EQ(Starts(), (Places{"0,0", "0,10"}));

    // Seven capitals reach 42: the seventh crosses the edge and stays; one space after a
    // wrap is dropped.
    Lay("ABCDEFGHIJ", 0, 0, 40, 100);
    EXPECT_EQ(Lines(), "ABCDEFG|HIJ");
    Lay("ABCDEFG HI", 0, 0, 40, 100);
    EXPECT_EQ(Lines(), "ABCDEFG|HI");
    EXPECT_EQ(Starts(), (Places{"0,0", "0,10"}));

    // A short word followed by one longer than the box: the break comes at the space first.
    Lay("AB CDEFGHIJKL", 0, 0, 40, 100);
    EXPECT_EQ(Lines(), "AB|CDEFGHI|JKL");
    Lay(" ABCDEFGHIJ", 0, 0, 40, 100); // a leading space opens no empty line
    EXPECT_EQ(Lines(), " ABCDEF|GHIJ");

    // Kern counts in the advance: with 2 more per glyph, CD no longer fits after AB.
    text.SetKern(2);
    Lay("AB CD", 0, 0, 40, 100);
    EXPECT_EQ(Lines(), "AB CD");
    Lay("AB CDE", 0, 0, 40, 100);
    EXPECT_EQ(Lines(), "AB|CDE");
}

TEST_F(TextLayout, AnchorsAlignTheTextInsideTheBoxAtWholePixels)
{
    // "ABi" is 14 wide and 10 high in a 99 × 45 box at (10, 20).
    Lay("ABi", 10, 20, 99, 45, 4);
    EXPECT_EQ(Starts(), (Places{"52,37"})); // 10 + 42.5, 20 + 22.5 − 5
    Lay("ABi", 10, 20, 99, 45, 8);
    EXPECT_EQ(Starts(), (Places{"94,55"})); // one pixel in from the right edge
    Lay("ABi", 10, 20, 99, 45, 0);
    EXPECT_EQ(Starts(), (Places{"10,20"}));

    // Each line is centred by its own width; the block of lines is centred as a whole.
    text.SetLead(2);
    Lay("AB\nABCD", 0, 0, 100, 50, 4);
    EXPECT_EQ(Starts(), (Places{"44,14", "38,26"}));
    // A wrapped line as wide as the box is not centred.
    Lay("ABCDEFGHIJ", 0, 0, 40, 100, 1);
    EXPECT_EQ(Starts(), (Places{"0,0", "11,12"}));
}

TEST_F(TextLayout, ABoxNoLargerThanOneCellNeitherWrapsNorCuts)
{
    // Frame 0 ("A") is 6 × 10.
    Lay("ABCDEFGH IJ\nK", 5, 5, 6, 10, 4);
    EXPECT_EQ(Lines(), "ABCDEFGH IJ|K");
    EXPECT_EQ(Starts(), (Places{"5,5", "5,15"}));
}

TEST_F(TextLayout, LinesBelowTheBoxAreCutButTheLastFittingLineIsWhole)
{
    Lay("A\nB\nC\nD", 0, 0, 50, 25);
    EXPECT_EQ(Lines(), "A|B");
    EXPECT_EQ(layout.lines, 4u);
    EXPECT_FALSE(layout.penInside);

    // The glyph that crosses the right edge of the last line that fits is still drawn.
    Lay("ABCDEFGHIJ", 0, 0, 40, 15);
    EXPECT_EQ(Lines(), "ABCDEFG");
}

TEST_F(TextLayout, MaskDrawsEveryCharacterAsTheMaskGlyph)
{
    text.SetMask(true);
    Lay("A\nB C", 0, 0, 100, 100);
    EXPECT_EQ(Lines(), "*****"); // the line break and the space too, on one line
    EXPECT_EQ(layout.glyphs[4].x, 20.0f);
    EXPECT_EQ(layout.penX, 25.0f);
    text.SetMaskCharacter('-');
    Lay("AB", 0, 0, 100, 100);
    EXPECT_EQ(Lines(), "--");
    EXPECT_EQ(layout.glyphs[1].width, 3.0f);
}

TEST_F(TextLayout, CharactersWithoutAGlyphTakeNoRoom)
{
    Lay("A~B?", 0, 0, 100, 100);
    EXPECT_EQ(Lines(), "AB");
    EXPECT_EQ(layout.glyphs[1].x, 6.0f);
    EXPECT_EQ(layout.glyphs[1].index, 2);
    // Nor in the alignment: "A~B" is centred as 12 wide.
    Lay("A~B", 0, 0, 100, 100, 1);
    EXPECT_EQ(layout.glyphs[0].x, 44.0f);
}

TEST_F(TextLayout, ScaleStretchesGlyphsButNotTheKern)
{
    text.SetScale(2.0f, 1.5f);
    text.SetKern(1);
    Lay("AB", 0, 0, 100, 100);
    ASSERT_EQ(layout.glyphs.size(), 2u);
    EXPECT_EQ(layout.glyphs[0].width, 12.0f);
    EXPECT_EQ(layout.glyphs[1].x, 13.0f);
    EXPECT_EQ(layout.penX, 26.0f);
    EXPECT_EQ(layout.lineHeight, 15.0f);
}

TEST_F(TextLayout, TheGlyphTableIsBuiltByName)
{
    const CSprite& table = text.GetSprite();
    ASSERT_EQ(table.FrameCount(), 256u);
    EXPECT_EQ(table.frames['A'].w, 6);
    EXPECT_EQ(table.frames['i'].w, 2);
    EXPECT_NE(table.frames['i'].texture, nullptr);
    // Characters without a frame get a blank cell the size of the sprite's frame 0.
    EXPECT_EQ(table.frames['~'].texture, nullptr);
    EXPECT_EQ(table.frames['~'].w, 6);
    EXPECT_EQ(table.frames[0].h, kGlyphHeight);
    EXPECT_EQ(text.LineHeight(), 10.0f);

    // A sprite without frames changes nothing; one with 256 frames is the table itself.
    text.SetSprite(CSprite());
    EXPECT_EQ(text.GetSprite().frames['A'].w, 6);
    CSprite full;
    for (int i = 0; i < 256; ++i)
        full.AddFrame("", 0, 0, i + 1, 7, 0, &texture);
    text.SetSprite(full);
    EXPECT_EQ(text.GetSprite().frames['A'].w, 'A' + 1);
    EXPECT_EQ(text.LineHeight(), 7.0f);
}

TEST_F(TextLayout, DescriptionAttributes)
{
    text.SetScale(3.0f, 3.0f);
    CXMLDocument document;
    ASSERT_TRUE(document.Parse("<font kern='2' lead='4' text='A\\nB' scaleY='2' x='1' y='2' w='50' h='60' align='4'/>"));
    text.LoadFromNode(document);
    EXPECT_EQ(text.GetKern(), 2);
    EXPECT_EQ(text.GetLead(), 4);
    EXPECT_STREQ(text.GetText().CStr(), "A\nB");
    EXPECT_EQ(text.GetScaleX(), 1.0f); // absent: 1 again
    EXPECT_EQ(text.GetScaleY(), 2.0f);
    // The anchor aligns the text; the quad itself stays put.
    EXPECT_EQ(text.VertexPosition(0).x, 0.0f);
}

// A font with glyphs named in UTF-8: é (U+00E9, 7 wide), Ü (U+00DC, 8), € (U+20AC, 9),
// and optionally the replacement glyph (U+FFFD, 3), besides the test glyphs.
std::unique_ptr<CSprite> WideSprite(CTexture* texture, bool replacement)
{
    std::unique_ptr<CSprite> sprite(NewGlyphSprite(texture));
    sprite->AddFrame("\xC3\xA9", 0, 0, 7, kGlyphHeight, 0, texture);
    sprite->AddFrame("\xE2\x82\xAC", 0, 0, 9, kGlyphHeight, 0, texture);
    sprite->AddFrame("\xC3\x9C", 0, 0, 8, kGlyphHeight, 0, texture);
    if (replacement)
        sprite->AddFrame("\xEF\xBF\xBD", 0, 0, 3, kGlyphHeight, 0, texture);
    return sprite;
}

TEST_F(TextLayout, UTF8TextIsDrawnByCodePoint)
{
    auto wide = WideSprite(&texture, false);
    text.SetSprite(*wide);
    EXPECT_EQ(text.GetSprite().FrameCount(), 257u); // Latin-1 by code, then the euro
    EXPECT_EQ(text.GlyphWidth(0xE9), 7.0f);
    EXPECT_EQ(text.GlyphWidth(0xDC), 8.0f);
    EXPECT_EQ(text.GlyphWidth(0x20AC), 9.0f);
    Lay("\xC3\x9C" "A\xE2\x82\xAC" "b\xC3\xA9", 0, 0, 100, 100);
    ASSERT_EQ(layout.glyphs.size(), 5u);
    const uint32_t codes[5] = {0xDC, 'A', 0x20AC, 'b', 0xE9};
    const int32_t indexes[5] = {0, 2, 3, 6, 7};
    const float xs[5] = {0, 8, 14, 23, 27};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(layout.glyphs[i].code, codes[i]);
        EXPECT_EQ(layout.glyphs[i].index, indexes[i]);
        EXPECT_EQ(layout.glyphs[i].x, xs[i]);
    }
    EXPECT_EQ(layout.penX, 34.0f);
    EXPECT_EQ(text.TextWidth("\xC3\xA9\xC3\xA9"), 14.0f);

    // A copy of the element (and of its table) draws the same.
    CFont copy(text);
    CTextLayout again;
    copy.Layout(again);
    ASSERT_EQ(again.glyphs.size(), 5u);
    EXPECT_EQ(again.glyphs[2].width, 9.0f);
}

TEST_F(TextLayout, CharactersWithoutAGlyphShowTheReplacementGlyph)
{
    auto wide = WideSprite(&texture, true);
    text.SetSprite(*wide);
    // ~ and Ω have no glyph; a stray byte is no character; a tab and a line break are
    // controls and never replaced.
    Lay("A~\xCE\xA9\xFF\tB\nC", 0, 0, 100, 100);
    EXPECT_EQ(Lines(), "A???B|C");
    ASSERT_EQ(layout.glyphs.size(), 6u);
    for (size_t i = 1; i < 4; ++i) {
        EXPECT_EQ(layout.glyphs[i].code, i == 1 ? uint32_t('~') : i == 2 ? 0x3A9u : 0xFFFDu);
        EXPECT_EQ(layout.glyphs[i].width, 3.0f);
        EXPECT_EQ(layout.glyphs[i].frame, static_cast<uint32_t>(text.GlyphFrame(0xFFFD)));
    }
    EXPECT_EQ(layout.glyphs[4].x, 6.0f + 3 * 3.0f);
    EXPECT_EQ(text.GlyphFrame('\t'), -1);
}

TEST_F(TextLayout, OlderFontsNamedByLatin1BytesStillWork)
{
    CSprite sprite;
    sprite.AddFrame("A", 0, 0, 6, kGlyphHeight, 0, &texture);
    sprite.AddFrame("\xE9", 0, 0, 7, kGlyphHeight, 0, &texture); // é as one Latin-1 byte
    text.SetSprite(sprite);
    Lay("A\xC3\xA9", 0, 0, 100, 100);
    ASSERT_EQ(layout.glyphs.size(), 2u);
    EXPECT_EQ(layout.glyphs[1].width, 7.0f);
}

TEST_F(TextLayout, CaretStopsFollowTheLinesAndFindTheNearestBoundary)
{
    auto wide = WideSprite(&texture, false);
    text.SetSprite(*wide);
    // "AB CD" wraps after the space in a 20-pixel box; the second line starts at C.
    Lay("AB C\xC3\xA9\nx", 0, 0, 20, 100);
    EXPECT_EQ(Lines(), "AB|C\xE9|x");
    float x = -1, y = -1;
    ASSERT_TRUE(layout.CaretAt(0, x, y));
    EXPECT_EQ(x, 0.0f);
    ASSERT_TRUE(layout.CaretAt(2, x, y)); // before the space that ends the first line
    EXPECT_EQ(x, 12.0f);
    EXPECT_EQ(y, 0.0f);
    ASSERT_TRUE(layout.CaretAt(3, x, y)); // after it: the start of the second line
    EXPECT_EQ(x, 0.0f);
    EXPECT_EQ(y, 10.0f);
    ASSERT_TRUE(layout.CaretAt(4, x, y)); // after C
    EXPECT_EQ(x, 6.0f);
    ASSERT_TRUE(layout.CaretAt(5, x, y)); // inside é: its start
    EXPECT_EQ(x, 6.0f);
    ASSERT_TRUE(layout.CaretAt(6, x, y)); // after é, before the break
    EXPECT_EQ(x, 13.0f);
    EXPECT_EQ(y, 10.0f);
    ASSERT_TRUE(layout.CaretAt(8, x, y)); // the end
    EXPECT_EQ(x, 4.0f);
    EXPECT_EQ(y, 20.0f);

    EXPECT_EQ(layout.IndexAt(7, 3), 1);   // A ends at 6, B at 12: 7 is nearest 6
    EXPECT_EQ(layout.IndexAt(10, 3), 2);
    EXPECT_EQ(layout.IndexAt(50, 12), 6); // right of the second line: its end
    EXPECT_EQ(layout.IndexAt(-5, -40), 0);
    EXPECT_EQ(layout.IndexAt(50, 500), 8);

    // A cut text has no stops past what was laid out.
    Lay("A\nB\nC", 0, 0, 20, 20);
    EXPECT_FALSE(layout.CaretAt(4, x, y));
    EXPECT_TRUE(layout.CaretAt(2, x, y));
}

TEST_F(TextLayout, WrapOffKeepsOneLineAndTheScrollDrawsOnlyWholeGlyphsInside)
{
    text.SetWrap(false);
    Lay("ABCDE FGHIJ", 0, 0, 20, 10, 1);
    EXPECT_EQ(Lines(), "ABCDE FGHIJ");
    EXPECT_EQ(layout.glyphs[0].x, 0.0f); // wider than the box: from the left
    Lay("AB", 0, 0, 20, 10, 1);
    EXPECT_EQ(layout.glyphs[0].x, 4.0f); // narrower: still aligned
    text.SetScrollX(7);
    Lay("ABCDE", 0, 0, 20, 10);
    EXPECT_EQ(layout.glyphs[0].x, -7.0f);
    EXPECT_EQ(layout.stops.back().x, 30.0f - 7.0f);
}

} // namespace

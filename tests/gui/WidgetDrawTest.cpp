// Widgets drawn under an OpenGL context and read back: glyphs land exactly where the text
// layout puts them; an active edit box draws its caret after the text, its selection behind
// the text, and a scrolled line only inside its box. The glyphs (the space included) are solid white
// cells, so every pixel is either inside a glyph or black.
#include "GlyphSprite.h"

#include "events/Input.h"
#include "gui/Edit.h"
#include "gui/Font.h"
#include "media/GL.h"
#include "media/ResourceManager.h"
#include "support/GLTestContext.h"
#include "support/TempDir.h"
#include "support/TestMedia.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class WidgetDrawing : public GLTest {
protected:
    void SetUp() override
    {
        GLTest::SetUp();
        if (IsSkipped())
            return;
        WriteSolidPng(dir.File("white.png"), 16, 16, 0xFFFFFFFF);
        resources.LoadFile("white", dir.File("white.png").c_str());
        auto* texture = dynamic_cast<CTexture*>(resources.Find("white"));
        ASSERT_NE(texture, nullptr);
        glyphs.reset(NewGlyphSprite(texture));
        font.SetSprite(*glyphs);
    }

    // Whether GUI pixel (x, y), y counted down from the top, is lit.
    static bool Lit(int x, int y)
    {
        uint8_t rgba[4];
        GLTestContext::Pixel(x, GLTestContext::kSide - 1 - y, rgba);
        return rgba[0] > 128 && rgba[1] > 128 && rgba[2] > 128;
    }

    // The lit pixels' bounding box: left, top, right, bottom (exclusive).
    static std::vector<int> LitBox()
    {
        std::vector<int> box = {GLTestContext::kSide, GLTestContext::kSide, 0, 0};
        for (int y = 0; y < GLTestContext::kSide; ++y)
            for (int x = 0; x < GLTestContext::kSide; ++x)
                if (Lit(x, y)) {
                    box[0] = std::min(box[0], x);
                    box[1] = std::min(box[1], y);
                    box[2] = std::max(box[2], x + 1);
                    box[3] = std::max(box[3], y + 1);
                }
        return box;
    }

    // A black quad under the widget, so that only text and caret light pixels.
    static void Blacken(CGUI& element)
    {
        element.SetGradient(true);
        for (uint32_t vertex = 0; vertex < 4; ++vertex)
            element.SetVertexColour(vertex, 0, 0, 0, 255);
    }

    TempDir dir;
    CResourceManager resources;
    std::unique_ptr<CSprite> glyphs;
    CFont font;
};

TEST_F(WidgetDrawing, GlyphsAreDrawnExactlyWhereTheLayoutPutsThem)
{
    CFont text;
    text.Assign(font);
    text.SetKern(1);
    text.SetLead(2);
    text.SetPosition(4, 6);
    text.SetSize(50, 40);
    text.SetAlign(4);
    text.SetText("AB iC\\n1-2");
    CTextLayout layout;
    text.Layout(layout);
    ASSERT_EQ(layout.glyphs.size(), 8u);
    text.Render();
    for (int y = 0; y < GLTestContext::kSide; ++y)
        for (int x = 0; x < GLTestContext::kSide; ++x) {
            bool inside = false;
            for (const CGlyphPlacement& glyph : layout.glyphs)
                inside |= x >= glyph.x && x < glyph.x + glyph.width && y >= glyph.y && y < glyph.y + layout.lineHeight;
            ASSERT_EQ(Lit(x, y), inside) << x << "," << y;
        }
    // Drawing leaves the element where it was.
    EXPECT_EQ(text.GetX(), 4.0f);
    EXPECT_EQ(text.GetWidth(), 50.0f);
}

TEST_F(WidgetDrawing, AnActiveEditBoxDrawsItsCaretAfterTheText)
{
    CEdit edit;
    Blacken(edit);
    edit.SetFont(&font);
    edit.SetPosition(4, 4);
    edit.SetSize(50, 14);
    edit.SetBorder(2);
    edit.SetFocus(true);
    EmitCharacter('1');
    EmitCharacter('2');
    edit.Render();
    // "12" covers x 6 to 16 and y 6 to 16; the caret is the column at x 16.
    EXPECT_EQ(LitBox(), (std::vector<int>{6, 6, 17, 16}));
    EXPECT_TRUE(Lit(16, 6));
    EXPECT_TRUE(Lit(16, 15));

    GLClear(0, 0, 0, 1);
    edit.SetFocus(false);
    edit.Render();
    EXPECT_EQ(LitBox(), (std::vector<int>{6, 6, 16, 16}));
}

// The red channel of GUI pixel (x, y), y counted down from the top.
int Red(int x, int y)
{
    uint8_t rgba[4];
    GLTestContext::Pixel(x, GLTestContext::kSide - 1 - y, rgba);
    return rgba[0];
}

TEST_F(WidgetDrawing, TheSelectionIsAFaintBandBehindTheSelectedText)
{
    CEdit edit;
    Blacken(edit);
    edit.SetFont(&font);
    edit.GetTextElement().SetKern(1); // a one-pixel gap after every glyph
    edit.SetPosition(4, 4);
    edit.SetSize(50, 14);
    edit.SetBorder(2);
    edit.SetFocus(true);
    EmitCharacter('A');
    EmitCharacter('B');
    EmitCharacter('C');
    EmitKey(KeyLeft, InputPress, false, ModifierShift);
    EmitKey(KeyLeft, InputPress, false, ModifierShift); // "BC" selected, from x 13 to 27
    edit.Render();
    EXPECT_EQ(Red(12, 8), 0);      // the gap after A: not selected
    const int band = Red(19, 8);   // the gap after B
    EXPECT_GT(band, 60);
    EXPECT_LT(band, 120);          // about a third of the text's white
    EXPECT_EQ(Red(26, 8), band);   // the gap after C
    EXPECT_EQ(Red(27, 8), 0);
    EXPECT_EQ(Red(19, 16), 0);     // one line high
    EXPECT_TRUE(Lit(13, 8));       // the caret at the selection's start

    GLClear(0, 0, 0, 1);
    edit.SetFocus(false); // an inactive box shows no selection
    edit.Render();
    EXPECT_EQ(Red(19, 8), 0);
}

TEST_F(WidgetDrawing, AScrolledLineDrawsOnlyGlyphsWhollyInsideTheBox)
{
    CEdit edit;
    Blacken(edit);
    edit.SetFont(&font);
    edit.SetPosition(4, 4);
    edit.SetSize(30, 14);
    edit.SetBorder(2); // the text box runs from x 6 to 34
    edit.SetFocus(true);
    for (char c : std::string("ABCDEFGH")) // 48 pixels
        EmitCharacter(c);
    edit.Render();
    std::vector<int> box = LitBox();
    EXPECT_GE(box[0], 6);
    EXPECT_LE(box[2], 34);
    EXPECT_TRUE(Lit(32, 8)); // the caret, at the right edge
    EXPECT_EQ(box[1], 6);
    EXPECT_EQ(box[3], 16); // one line: nothing wrapped below

    GLClear(0, 0, 0, 1);
    EmitKey(KeyHome, InputPress);
    edit.Render();
    box = LitBox();
    EXPECT_EQ(box[0], 6); // A and the caret at the left edge again
    EXPECT_LE(box[2], 34);
}

} // namespace

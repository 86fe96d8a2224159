// A screen of widgets loaded from a description and used the way a user does: through the
// process-wide mouse and keyboard signals. A labelled button, a check box, a number box and
// a horizontal slider, all looking up their text's look from a "font" element.
#include "GlyphSprite.h"

#include "events/Input.h"
#include "gui/Button.h"
#include "gui/Edit.h"
#include "gui/GUIManager.h"
#include "gui/Scroll.h"
#include "media/ResourceManager.h"
#include "xml/XMLDocument.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// What the screen's owner hears.
struct Listener {
    void OnPlay() { ++plays; }
    void OnValue(float value, CScroll* from) { values.push_back(from ? value : -1.0f); }
    void OnChange(const String& text, CEdit*) { texts.push_back(text.CStr()); }

    int plays = 0;
    std::vector<float> values;
    std::vector<std::string> texts;
    CSlotList slots;
};

void Click(int32_t x, int32_t y)
{
    EmitMouseMove(x, y);
    EmitMouseButton(MouseLeft, InputPress);
    EmitMouseButton(MouseLeft, InputRelease);
}

void Type(const char* keys)
{
    for (const char* key = keys; *key; ++key)
        EmitCharacter(*key);
}

TEST(WidgetScreen, ADescribedScreenAnswersMouseAndKeyboard)
{
    CResourceManager resources;
    auto* glyphTexture = new CTexture;
    glyphTexture->name = "glyph picture";
    resources.Add(glyphTexture);
    resources.Add(NewGlyphSprite(glyphTexture, "glyphs"));
    auto* slider = new CSprite;
    slider->name = "slider";
    slider->AddFrame("", 0, 0, 216, 16, 0, nullptr);
    for (int i = 0; i < 12; ++i)
        slider->AddFrame("", 0, 0, 16, 16, 0, nullptr);
    resources.Add(slider);

    CXMLDocument document;
    ASSERT_TRUE(document.Parse(
        "<gui>"
        "<font name='look' sprite='glyphs' kern='1'/>"
        "<button name='btnPlay' font='look' text='PLAY' x='10' y='10' w='60' h='20'/>"
        "<checkbox name='chkLoop' font='look' text='LOOP' x='10' y='40' w='12' h='12'><offset w='60'/></checkbox>"
        "<edit name='editValue' font='look' x='10' y='60' w='50' h='14' number='true' limit='5' borderSize='2'/>"
        "<scroll name='slider' sprite='slider' x='10' y='90' vertical='false' min='0' max='100' increment='5'/>"
        "</gui>"));
    CGUIManager manager;
    manager.LoadElements(document, resources);
    ASSERT_EQ(manager.GetElementCount(), 5u);
    auto* play = dynamic_cast<CButton*>(manager.FindElement("btnPlay"));
    auto* loop = dynamic_cast<CCheckBox*>(manager.FindElement("chkLoop"));
    auto* edit = dynamic_cast<CEdit*>(manager.FindElement("editValue"));
    auto* bar = dynamic_cast<CScroll*>(manager.FindElement("slider"));
    ASSERT_TRUE(play && loop && edit && bar);

    Listener owner;
    owner.slots.Connect(play->onRelease, &owner, &Listener::OnPlay);
    owner.slots.ConnectUser(bar->onValue, &owner, &Listener::OnValue, bar);
    owner.slots.ConnectUser(edit->onChange, &owner, &Listener::OnChange, edit);

    // The button's label has the look's glyphs and kern, centred in the button.
    CTextLayout label;
    play->GetLabel().Layout(label);
    ASSERT_EQ(label.glyphs.size(), 4u);
    EXPECT_EQ(label.glyphs[0].x, 16.0f); // (60 − 4 × 7) / 2
    EXPECT_EQ(label.glyphs[1].x, 23.0f);
    Click(40, 20);
    EXPECT_EQ(owner.plays, 1);
    EXPECT_EQ(play->GetState(), CButton::StateHover);

    // The check box toggles on its label, to the right of the box.
    EXPECT_FALSE(loop->IsDown());
    Click(50, 45);
    EXPECT_TRUE(loop->IsDown());
    Click(15, 45);
    EXPECT_FALSE(loop->IsDown());

    // Typed digits appear in the number box that was clicked; the rest is refused.
    Type("7");
    EXPECT_TRUE(edit->GetText().IsEmpty());
    Click(20, 65);
    EXPECT_TRUE(edit->IsActive());
    Type("12.x.57");
    EXPECT_STREQ(edit->GetText().CStr(), "12.57"); // five characters: the limit
    EmitKey(KeyBackspace, InputPress);
    EXPECT_STREQ(edit->GetText().CStr(), "12.5");
    EXPECT_EQ(owner.texts, (std::vector<std::string>{"1", "12", "12.", "12.5", "12.57", "12.5"}));

    // The slider: the thumb (16 wide, at x 26 on screen) dragged 84 of the 168 pixels of its
    // track, then the increase arrow (at x 210), then the wheel.
    EXPECT_EQ(bar->GetWidth(), 216.0f);
    EmitMouseMove(30, 98);
    EmitMouseButton(MouseLeft, InputPress);
    EXPECT_FALSE(edit->IsActive()); // the press took the focus away from the box
    EmitMouseMove(72, 98);
    EmitMouseMove(114, 98);
    EmitMouseButton(MouseLeft, InputRelease);
    EXPECT_EQ(owner.values, (std::vector<float>{25, 50}));
    Click(218, 98);
    EmitMouseWheel(-120);
    EXPECT_EQ(owner.values, (std::vector<float>{25, 50, 55, 60}));
    EXPECT_EQ(bar->GetValue(), 60.0f);

    Type("9");
    EXPECT_STREQ(edit->GetText().CStr(), "12.5");
}

} // namespace

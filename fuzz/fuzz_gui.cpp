// Fuzz target for GUI descriptions: the bytes are a description, loaded into a GUI manager
// over a resource manager holding a two-frame sprite "icon", a 256-glyph sprite "font", a
// sprite "glyphs" of a few glyphs named by their characters and a sound "beep" (no files, no
// OpenGL context: nothing is drawn). Then the mouse is routed over the result, keys are
// typed, every text is laid out and every element is copied. Checks, beyond memory safety:
// - parents never form a cycle;
// - FindElement finds every element's name, and the focus is always one of the elements;
// - a press focuses the first element hit;
// - a layout places each character at most once, in text order;
// - a scroll bar's value stays within its range;
// - a list draws no more rows than it has, and its copy has as many;
// - a progress bar's percent stays within 0 to 100.
#include "events/Input.h"
#include "gui/Button.h"
#include "gui/Combo.h"
#include "gui/Edit.h"
#include "gui/Font.h"
#include "gui/GUI.h"
#include "gui/GUIManager.h"
#include "gui/List.h"
#include "gui/Progress.h"
#include "gui/Scroll.h"
#include "media/ResourceManager.h"
#include "media/Sprite.h"
#include "media/Texture.h"
#include "sound/Sound.h"
#include "xml/XMLDocument.h"

#include <cstdint>
#include <cstdlib>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

void FillResources(CResourceManager& resources)
{
    auto* icon = new CSprite;
    icon->name = "icon";
    icon->AddFrame("", 0, 0, 24, 12, 0, nullptr);
    icon->AddFrame("", 24, 0, 8, 4, 40, nullptr);
    resources.Add(icon);
    // Glyphs need a texture to be laid out; this one is never uploaded.
    auto* picture = new CTexture;
    picture->name = "picture";
    resources.Add(picture);
    auto* font = new CSprite;
    font->name = "font";
    for (int code = 0; code < 256; ++code) {
        const char name = static_cast<char>(code);
        font->AddFrame(String(&name, 1), code % 16 * 10, code / 16 * 14, 9, 14, 0, code % 7 ? picture : nullptr);
    }
    resources.Add(font);
    auto* glyphs = new CSprite;
    glyphs->name = "glyphs";
    for (const char* c = "A1 .-*\n"; *c; ++c)
        glyphs->AddFrame(String(c, 1), 0, 0, 3 + (*c & 7), 8, 0, picture);
    resources.Add(glyphs);
    auto* beep = new CSound;
    beep->name = "beep";
    resources.Add(beep);
}

bool IsElement(const CGUIManager& manager, const CGUI* element)
{
    for (uint32_t i = 0; i < manager.GetElementCount(); ++i)
        if (manager.GetElement(i) == element)
            return true;
    return false;
}

void Send(CGUIManager& manager, int32_t action, float x, float y, int32_t button)
{
    CInputMap event;
    event.action = action;
    event.button = button;
    event.position = CVector(x, y, 0.0f, 0.0f);
    // A press goes to the first element hit before it (a pressed button may move away).
    CGUI* expected = nullptr;
    for (uint32_t i = 0; action == InputPress && i < manager.GetElementCount() && !expected; ++i)
        if (manager.GetElement(i)->HitTest(static_cast<int32_t>(x), static_cast<int32_t>(y)))
            expected = manager.GetElement(i);
    manager.OnMouse(event);
    CGUI* focus = manager.GetFocus();
    Check(!focus || IsElement(manager, focus));
    if (action == InputPress)
        Check(focus == expected);
}

// Lays out a text element: every glyph belongs to a character of the text, in order.
void CheckLayout(const CFont& text)
{
    CTextLayout layout;
    text.Layout(layout);
    Check(layout.glyphs.size() <= static_cast<size_t>(text.GetText().Length()));
    int32_t last = -1;
    for (const CGlyphPlacement& glyph : layout.glyphs) {
        Check(glyph.index > last && glyph.index < text.GetText().Length());
        last = glyph.index;
    }
}

// Widget-specific checks, and copies through each widget's own Assign.
void CheckWidget(CGUI& element)
{
    if (auto* text = dynamic_cast<CFont*>(&element)) {
        CheckLayout(*text);
        CFont copy(*text);
        CheckLayout(copy);
    } else if (auto* box = dynamic_cast<CCheckBox*>(&element)) {
        CCheckBox copy(*box);
        CheckLayout(copy.GetLabel());
    } else if (auto* button = dynamic_cast<CButton*>(&element)) {
        CButton copy(*button);
        CheckLayout(copy.GetLabel());
    } else if (auto* edit = dynamic_cast<CEdit*>(&element)) {
        CEdit copy(*edit);
        CheckLayout(copy.GetTextElement());
        float x, y, w, h;
        (void)edit->GetCaretRect(x, y, w, h);
    } else if (auto* bar = dynamic_cast<CScroll*>(&element)) {
        CScroll copy(*bar);
        for (float value : {bar->GetValue(), copy.GetValue()})
            if (bar->GetMin() <= bar->GetMax())
                Check(value >= bar->GetMin() && value <= bar->GetMax());
        copy.Increase();
        copy.SetValue(1e30f);
    } else if (auto* list = dynamic_cast<CList*>(&element)) {
        CList copy(*list);
        Check(copy.GetRowCount() == list->GetRowCount());
        Check(list->FittingRows() <= list->GetRowCount());
        for (uint32_t row = 0; row < list->GetRowCount() && row < 64; ++row)
            (void)list->GetCellText(static_cast<int32_t>(row), 0);
    } else if (auto* combo = dynamic_cast<CCombo*>(&element)) {
        CCombo copy(*combo);
        copy.Select(0, 0);
        Check(copy.GetList().GetRowCount() == combo->GetList().GetRowCount());
    } else if (auto* progress = dynamic_cast<CProgress*>(&element)) {
        CProgress copy(*progress);
        Check(progress->GetPercent() >= 0.0f && progress->GetPercent() <= 100.0f);
        copy.SetValue(0xFFFFFFFFu);
        Check(copy.GetPercent() >= 0.0f && copy.GetPercent() <= 100.0f);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static CResourceManager* resources = [] {
        auto* made = new CResourceManager;
        FillResources(*made);
        return made;
    }();

    CXMLDocument document;
    document.Parse(reinterpret_cast<const char*>(data), size);
    CGUIManager manager;
    manager.LoadElements(document, *resources);
    const uint32_t count = manager.GetElementCount();
    for (uint32_t i = 0; i < count; ++i) {
        CGUI* element = manager.GetElement(i);
        uint32_t depth = 0;
        for (const CGUI* up = element->GetParent(); up; up = up->GetParent())
            Check(++depth <= count);
        CGUI* found = manager.FindElement(element->GetName());
        Check(found && found->GetName() == element->GetName());
        CGUI copy(*element);
        Check(copy.GetName() == element->GetName() && copy.GetParent() == element->GetParent());
        (void)element->GetAbsolutePosition();
        (void)element->IsMouseOver();
    }

    // The mouse over a coarse grid, with presses, releases, double clicks and wheel turns.
    const float points[] = {-20.0f, 0.0f, 5.0f, 12.0f, 50.0f, 100.0f, 400.0f};
    int32_t button = 0;
    for (float y : points)
        for (float x : points) {
            Send(manager, InputMove, x, y, MouseNoButton);
            Send(manager, InputPress, x, y, button);
            Send(manager, InputMove, x + 7.0f, y + 3.0f, MouseNoButton);
            Send(manager, InputRelease, x + 7.0f, y + 3.0f, button);
            Send(manager, InputDoubleClick, x, y, button);
            Send(manager, InputWheel, 0.0f, 0.0f, MouseNoButton);
            button = (button + 1) % 3;
        }
    // Typing reaches the edit box that was pressed last.
    for (int32_t key : {int32_t('1'), int32_t('.'), int32_t('-'), int32_t('a'), int32_t(' '), int32_t('7')})
        EmitCharacter(key);
    for (int32_t key : {int32_t(KeyBackspace), int32_t(KeyEnter), int32_t(KeyLeft), int32_t(KeyDelete)})
        EmitKey(key, InputPress);
    for (uint32_t i = 0; i < manager.GetElementCount(); ++i)
        CheckWidget(*manager.GetElement(i));
    manager.DeleteAll();
    return 0;
}

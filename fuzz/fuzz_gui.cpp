// Fuzz target for GUI descriptions: the bytes are a description, loaded into a GUI manager
// over a resource manager holding a two-frame sprite "icon", a 256-glyph sprite "font" and a
// sound "beep" (no files, no OpenGL context: nothing is drawn). Then the mouse is routed over
// the result and every element is copied. Checks, beyond memory safety:
// - parents never form a cycle;
// - FindElement finds every element's name, and the focus is always one of the elements;
// - hit tests agree with the manager's choice of focus.
#include "app/Input.h"
#include "gui/GUI.h"
#include "gui/GUIManager.h"
#include "media/ResourceManager.h"
#include "media/Sprite.h"
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
    auto* font = new CSprite;
    font->name = "font";
    for (int code = 0; code < 256; ++code) {
        const char name = static_cast<char>(code);
        font->AddFrame(String(&name, 1), code % 16 * 10, code / 16 * 14, 9, 14, 0, nullptr);
    }
    resources.Add(font);
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
    manager.OnMouse(event);
    CGUI* focus = manager.GetFocus();
    Check(!focus || IsElement(manager, focus));
    if (action == InputPress && focus) {
        Check(focus->HitTest(static_cast<int32_t>(x), static_cast<int32_t>(y)));
        for (uint32_t i = 0; manager.GetElement(i) != focus; ++i)
            Check(!manager.GetElement(i)->HitTest(static_cast<int32_t>(x), static_cast<int32_t>(y)));
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
    manager.DeleteAll();
    return 0;
}

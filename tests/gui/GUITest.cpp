// The GUI element on its own: geometry, hit testing, parents, sprite frames, copying and
// the edge-triggered routing that composites use.
#include "SignalLog.h"

#include "events/Input.h"
#include "gui/GUI.h"
#include "media/Sprite.h"

#include <gtest/gtest.h>

namespace {

using Words = std::vector<std::string>;

CInputMap Mouse(int32_t action, float x, float y, int32_t button = MouseLeft)
{
    CInputMap event;
    event.action = action;
    event.button = button;
    event.position = CVector(x, y, 0.0f, 0.0f);
    return event;
}

// An enabled element at (x, y) of size w × h.
void Place(CGUI& element, float x, float y, float w, float h)
{
    element.SetEnabled(true);
    element.SetPosition(x, y);
    element.SetSize(w, h);
}

TEST(GUIElement, StartsEmptyVisibleAndDisabled)
{
    CGUI element;
    EXPECT_TRUE(element.GetName().IsEmpty());
    EXPECT_EQ(element.GetParent(), nullptr);
    EXPECT_EQ(element.GetKind(), GUIPlain);
    EXPECT_EQ(element.GetWidth(), 1.0f);
    EXPECT_EQ(element.GetHeight(), 1.0f);
    EXPECT_EQ(element.GetDepth(), 1.0f);
    EXPECT_TRUE(element.IsVisible());
    EXPECT_FALSE(element.IsEnabled());
    EXPECT_FALSE(element.IsMoveable());
    EXPECT_EQ(element.material.emission[0], 1.0f);
    EXPECT_EQ(element.material.emission[3], 0.0f);
    EXPECT_FALSE(element.HitTest(0, 0)); // disabled elements are never hit
    element.SetEnabled(true);
    EXPECT_TRUE(element.HitTest(0, 0));
    EXPECT_TRUE(element.HitTest(1, 1));
    EXPECT_FALSE(element.HitTest(2, 1));
}

TEST(GUIElement, AnchorsMoveTheHitBoxAroundThePosition)
{
    CGUI element;
    Place(element, 200, 100, 100, 50);
    element.SetAlign(4);
    EXPECT_TRUE(element.HitTest(150, 75));
    EXPECT_TRUE(element.HitTest(250, 125));
    EXPECT_FALSE(element.HitTest(149, 75));
    EXPECT_FALSE(element.HitTest(250, 126));
    element.SetAlign(8);
    EXPECT_TRUE(element.HitTest(100, 50));
    EXPECT_FALSE(element.HitTest(201, 100));
    element.SetAlign(9); // outside 0 to 8: top-left
    EXPECT_EQ(element.GetAlign(), 0);
    EXPECT_TRUE(element.HitTest(300, 150));
}

TEST(GUIElement, RotatedElementsAreHitInTheirOwnFrame)
{
    // 100 × 20 at (50, 50), turned 90° about z: it now reaches up from its position,
    // covering x 50..70 and y −50..50 on screen.
    CGUI element;
    Place(element, 50, 50, 100, 20);
    element.SetRotation(0, 0, 90);
    EXPECT_TRUE(element.HitTest(60, -30));
    EXPECT_TRUE(element.HitTest(69, 49));
    EXPECT_FALSE(element.HitTest(100, 55)); // where it lay before turning
    EXPECT_FALSE(element.HitTest(40, 0));
}

TEST(GUIElement, ParentsOffsetHideAndDisableTheirChildren)
{
    CGUI window, panel, button;
    Place(window, 100, 50, 300, 300);
    Place(panel, 10, 20, 100, 100);
    Place(button, 5, 5, 10, 10);
    window.SetZ(1);
    button.SetZ(2);
    ASSERT_TRUE(panel.SetParent(&window));
    ASSERT_TRUE(button.SetParent(&panel));
    const CVector at = button.GetAbsolutePosition();
    EXPECT_EQ(at.x, 115.0f);
    EXPECT_EQ(at.y, 75.0f);
    EXPECT_EQ(at.z, 3.0f);
    EXPECT_TRUE(button.HitTest(120, 80));

    window.SetVisible(false);
    EXPECT_FALSE(button.IsVisible());
    EXPECT_FALSE(button.HitTest(120, 80));
    window.SetVisible(true);
    panel.SetEnabled(false);
    EXPECT_FALSE(button.IsEnabled());
    EXPECT_FALSE(button.HitTest(120, 80));

    // No cycles: an element cannot become its own ancestor.
    EXPECT_FALSE(window.SetParent(&button));
    EXPECT_FALSE(window.SetParent(&window));
    EXPECT_EQ(window.GetParent(), nullptr);
    EXPECT_TRUE(button.SetParent(nullptr));
}

TEST(GUIElement, SpriteFramesDriveTheMaterialAndTheSize)
{
    CTexture* noTexture = nullptr;
    CSprite sprite;
    sprite.AddFrame("", 0, 0, 24, 12, 0, noTexture);
    sprite.AddFrame("", 0, 0, 8, 4, 0, noTexture);
    CGUI element;
    SignalLog log;
    log.Watch(element);
    element.SetSprite(sprite);
    EXPECT_EQ(element.material.textures.size(), 1u); // a texture slot for the frames
    EXPECT_EQ(element.GetSprite().target, &element.material);
    EXPECT_EQ(element.GetSprite().FrameCount(), 2u);
    element.SelectFrame(1, true);
    EXPECT_EQ(element.GetCurrentFrame(), 1u);
    EXPECT_EQ(element.GetSprite().current, 1u);
    EXPECT_EQ(log.Take(), (Words{"resize 8 4"}));
    element.SelectFrame(5, true); // past the last frame: remembered, nothing shown or resized
    EXPECT_EQ(element.GetCurrentFrame(), 5u);
    EXPECT_EQ(element.GetSprite().current, 1u);
    EXPECT_EQ(element.GetWidth(), 8.0f);
    EXPECT_TRUE(log.Take().empty());
}

TEST(GUIElement, CopyFromTakesTheStateButNotSignalsOrFocus)
{
    CSprite sprite;
    sprite.AddFrame("", 0, 0, 24, 12, 0, nullptr);
    sprite.AddFrame("", 0, 0, 8, 4, 0, nullptr);
    CGUI parent, source;
    parent.SetEnabled(true);
    source.SetName("template");
    Place(source, 10, 20, 30, 40);
    source.SetAlign(4);
    source.SetSprite(sprite);
    source.SetFrame(1);
    source.SetMoveable(true);
    source.SetParent(&parent);
    source.SetFocus(true);
    source.material.diffuse[0] = 0.25f;
    SignalLog sourceLog;
    sourceLog.Watch(source);

    CGUI copy(source);
    EXPECT_EQ(copy.GetName(), "template");
    EXPECT_EQ(copy.GetX(), 10.0f);
    EXPECT_EQ(copy.GetWidth(), 30.0f);
    EXPECT_EQ(copy.GetAlign(), 4);
    EXPECT_EQ(copy.GetCurrentFrame(), 1u);
    EXPECT_EQ(copy.GetSprite().target, &copy.material);
    EXPECT_EQ(copy.GetParent(), &parent);
    EXPECT_EQ(copy.material.diffuse[0], 0.25f);
    EXPECT_TRUE(copy.IsEnabled());
    EXPECT_FALSE(copy.HasFocus());

    // The copy drags by its own move slot, and the source hears nothing of it.
    CInputMap press = Mouse(InputPress, 10, 20), move = Mouse(InputMove, 15, 22), release = Mouse(InputRelease, 15, 22);
    copy.onInput.Emit(press);
    copy.onInput.Emit(move);
    copy.onInput.Emit(release);
    EXPECT_EQ(copy.GetX(), 15.0f);
    EXPECT_EQ(copy.GetY(), 22.0f);
    EXPECT_EQ(source.GetX(), 10.0f);
    EXPECT_TRUE(sourceLog.Take().empty());
}

TEST(GUIElement, RouteInputTracksHoverByEdgesAndFocusByPresses)
{
    CGUI element;
    Place(element, 0, 0, 10, 10);
    SignalLog log;
    log.Watch(element);
    auto route = [&](int32_t action, float x, float y) {
        CInputMap event = Mouse(action, x, y);
        element.RouteInput(event);
        return log.Take();
    };
    EXPECT_EQ(route(InputMove, 5, 5), (Words{"over"}));
    EXPECT_EQ(route(InputMove, 6, 5), Words{});
    EXPECT_EQ(route(InputPress, 6, 5), (Words{"focus+", "press", "input1"}));
    EXPECT_EQ(route(InputMove, 7, 5), (Words{"input3"}));
    EXPECT_EQ(route(InputRelease, 7, 5), (Words{"release", "input0"}));
    EXPECT_EQ(route(InputDoubleClick, 7, 5), (Words{"double", "input2"}));
    EXPECT_EQ(route(InputMove, 50, 5), (Words{"out", "input3"}));
    EXPECT_EQ(route(InputMove, 60, 5), (Words{"input3"}));
    // A release away from it, with the mouse no longer over it, drops the focus, but the
    // element hears the release first (a pressed look or a drag ends with it).
    EXPECT_EQ(route(InputRelease, 60, 5), (Words{"input0", "focus-"}));
    EXPECT_EQ(route(InputPress, 5, 5), (Words{"focus+", "press", "input1"}));
    EXPECT_EQ(route(InputPress, 50, 50), (Words{"focus-"}));
    element.SetVisible(false);
    log.Take();
    EXPECT_EQ(route(InputPress, 5, 5), Words{});
}

TEST(GUIElement, RouteInputTakesADoubleClickAwayFromTheFocusAsAPress)
{
    CGUI element;
    Place(element, 0, 0, 10, 10);
    SignalLog log;
    log.Watch(element);
    auto route = [&](int32_t action, float x, float y) {
        CInputMap event = Mouse(action, x, y);
        element.RouteInput(event);
        return log.Take();
    };
    EXPECT_EQ(route(InputDoubleClick, 5, 5), (Words{"focus+", "press", "input1"}));
    EXPECT_EQ(route(InputRelease, 5, 5), (Words{"release", "input0"}));
    EXPECT_EQ(route(InputDoubleClick, 5, 5), (Words{"double", "input2"}));
    EXPECT_EQ(route(InputDoubleClick, 50, 5), (Words{"focus-"}));
    EXPECT_EQ(route(InputDoubleClick, 50, 5), Words{});
}

} // namespace

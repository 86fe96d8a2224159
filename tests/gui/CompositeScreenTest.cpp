// One of every composite widget in one description, drawn under an OpenGL context and then
// used through the process-wide mouse signal: everything loads, draws without an OpenGL
// error, shows the progress bar's fill where its percent puts it, and answers the mouse.
#include "WidgetKit.h"

#include "gui/Combo.h"
#include "gui/ControlBar.h"
#include "gui/Frame.h"
#include "gui/List.h"
#include "gui/Menu.h"
#include "gui/Progress.h"
#include "gui/Window.h"
#include "media/GL.h"
#include "support/GLTestContext.h"

#include <GL/gl.h>

namespace {

class CompositeScreen : public GLTest, public WidgetKit {
protected:
    static bool Lit(int x, int y)
    {
        uint8_t rgba[4];
        GLTestContext::Pixel(x, GLTestContext::kSide - 1 - y, rgba);
        return rgba[0] > 128;
    }
};

// Black vertex colours for a background.
#define BLACK_CORNER "r='0' g='0' b='0'/>"
#define BLACK "<gradient><p1 " BLACK_CORNER "<p2 " BLACK_CORNER "<p3 " BLACK_CORNER "<p4 " BLACK_CORNER "</gradient>"

TEST_F(CompositeScreen, EveryCompositeLoadsDrawsAndAnswersTheMouse)
{
    ASSERT_TRUE(Load("<gui><font name='look' sprite='glyphs'/>"
                     "<progress name='progress' w='40' h='4' min='0' max='100'>" BLACK "</progress>"
                     "<list name='list' font='look' y='8' w='40' h='24'><select r='1'/>"
                     "<column w='30'><item text='A'/><item text='B'/><item text='C'/></column></list>"
                     "<menu name='menu' font='look' text='M' x='44' w='20' h='8'>"
                     "<menu name='item' parent='menu' text='I'/></menu>"
                     "<combo name='combo' font='look' y='36' w='40' h='28'><edit w='32' h='8'/><button w='8' h='8'/>"
                     "<list><column w='30'><item text='x'/><item text='y'/></column></list></combo>"
                     "<window name='window' font='look' text='W' x='44' y='20' w='20' h='20'>"
                     "<gui h='6'/><button w='4' h='4'/></window>"
                     "<frame name='frame' x='46' y='50' w='10' h='10'><gui border='0' w='4' h='4'/></frame>"
                     "<control name='bar' y='60' w='64' h='4'/>"
                     "</gui>"));
    ASSERT_EQ(manager.GetElementCount(), 9u);
    auto* progress = Find<CProgress>("progress");
    auto* list = Find<CList>("list");
    auto* menu = Find<CMenu>("menu");
    auto* combo = Find<CCombo>("combo");
    auto* window = Find<CWindow>("window");
    ASSERT_TRUE(progress && list && menu && combo && window && Find<CFrame>("frame") && Find<CControlBar>("bar"));

    progress->SetValue(50);
    manager.RenderAll();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_TRUE(Lit(1, 1));
    EXPECT_TRUE(Lit(19, 2));
    EXPECT_FALSE(Lit(21, 2));
    EXPECT_FALSE(Lit(39, 2));

    Click(5, 22); // the list's second row (rows 10 high from y 8)
    EXPECT_EQ(list->GetSelected(), 1);
    EXPECT_TRUE(list->GetScroll().IsVisible()); // three rows of ten in 24 pixels overflow
    Click(50, 4);
    EXPECT_TRUE(menu->IsOpen());
    EXPECT_TRUE(menu->GetItem(0)->IsVisible());
    Click(36, 40); // the combo box's drop button
    EXPECT_TRUE(combo->IsOpen());
    EXPECT_EQ(combo->GetHeight(), 28.0f);
    Press(50, 22); // the window's title bar
    Move(52, 25);
    Release(52, 25);
    EXPECT_EQ(window->GetX(), 46.0f);
    EXPECT_EQ(window->GetY(), 23.0f);
    EXPECT_FALSE(combo->IsOpen()); // the focus went to the window

    GLClear(0, 0, 0, 1);
    manager.RenderAll();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_TRUE(Lit(19, 2));
    EXPECT_FALSE(Lit(21, 2));
}

} // namespace

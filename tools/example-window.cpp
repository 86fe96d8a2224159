// Opens the application window (800 × 600, framed, not resizable, 32/24/8 bits, no
// multisampling), centres it and clears it to the application's grey until the window is
// closed, printing the input events it hears on standard output. Like the program, it draws
// only when an event arrives (at most once per 40 ms frame) and otherwise waits. A visible
// check of the window, the context, the main loop and the input translation.
#include "app/AppGL.h"
#include "events/Input.h"
#include "media/GL.h"

#include <GL/gl.h>

#include <cstdio>

namespace {

class CExampleWindow : public CAppGL {
public:
    CExampleWindow()
    {
        m_slots.Connect(GetKeyboardSignal(), this, &CExampleWindow::OnInput);
        m_slots.Connect(GetMouseSignal(), this, &CExampleWindow::OnInput);
        m_slots.Connect(onResize, this, &CExampleWindow::OnResize);
    }

    int Run(int, char**) override
    {
        if (!CreateGL(800, 600, true, false, false, 32, 24, 8, 0))
            return 1;
        SetTitle("Quillwave - window check");
        CenterWindow(true, true);
        SetFramePeriod(40);
        MainLoop();
        return 0;
    }

    void Draw() override
    {
        int32_t width = GetClientWidth(), height = GetClientHeight();
        GLViewport(0, 0, width, height);
        GLClear(0.5f, 0.5f, 0.5f, 0.0f);
    }

private:
    void OnInput(CInputMap& e)
    {
        std::printf("input value %d position (%g, %g) action %d button %d\n", e.value, e.position.x,
                    e.position.y, e.action, e.button);
        std::fflush(stdout);
    }
    void OnResize(int32_t width, int32_t height, CDisplay::SizeType type)
    {
        std::printf("resize %d x %d type %d\n", width, height, static_cast<int>(type));
        std::fflush(stdout);
    }

    CSlotList m_slots;
};

CExampleWindow g_example;

} // namespace

int main(int argc, char** argv) { return AppMain(argc, argv); }

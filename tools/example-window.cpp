// Opens the application window (800 × 600, framed, not resizable, 32/24/8 bits, no
// multisampling), centres it and clears it to the application's grey every 40 ms frame until
// the window is closed. A visible check of the window, the context and the main loop.
#include "app/AppGL.h"
#include "media/GL.h"

#include <GL/gl.h>

namespace {

class CExampleWindow : public CAppGL {
public:
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
};

CExampleWindow g_example;

} // namespace

int main(int argc, char** argv) { return AppMain(argc, argv); }

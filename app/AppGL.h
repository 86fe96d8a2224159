// CAppGL: the application frame with an OpenGL context on its window. The context is made
// current by CreateGL and stays current on the main thread until the object is destroyed;
// each frame ends with a buffer swap. Drawing is fixed-function OpenGL 1.x.
#pragma once

#include "app/App.h"

class CAppGL : public CApp {
public:
    CAppGL() = default;
    // Deletes the context before the window goes.
    ~CAppGL() override;

    // Opens the window (Create) for a framebuffer of the given colour, depth and stencil bits
    // and multisample count (0: none; a count the display cannot give is dropped), makes the
    // context and sets the start-up GL state (InitGL). False when the window cannot be made,
    // or, with the box "Could not create OpenGL context" (caption "App Error") and the reason
    // recorded (GetFailure), when the context cannot.
    virtual bool CreateGL(int32_t width, int32_t height, bool framed, bool resizable, bool fullscreen,
                          int32_t colourBits, int32_t depthBits, int32_t stencilBits, int32_t samples);

    bool HasContext() const { return m_context != nullptr; }

protected:
    // Swaps the buffers; nothing before the context exists.
    void Present() override;

private:
    PlatformGLContext m_context = nullptr;
};

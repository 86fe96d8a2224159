#include "app/AppGL.h"

#include "media/GL.h"

CAppGL::~CAppGL()
{
    PlatformDeleteGLContext(m_context);
    m_context = nullptr;
}

bool CAppGL::CreateGL(int32_t width, int32_t height, bool framed, bool resizable, bool fullscreen,
                      int32_t colourBits, int32_t depthBits, int32_t stencilBits, int32_t samples)
{
    PlatformDeleteGLContext(m_context); // a second CreateGL replaces the window and context
    m_context = nullptr;
    m_glRequest.colourBits = colourBits;
    m_glRequest.depthBits = depthBits;
    m_glRequest.stencilBits = stencilBits;
    m_glRequest.samples = samples;
    if (!Create(width, height, framed, resizable, fullscreen))
        return false;
    const char* why = nullptr;
    m_context = PlatformCreateGLContext(GetWindow(), &why);
    if (!m_context) {
        Fail(String("cannot create the OpenGL context: ") + (why ? why : "no reason given"));
        PlatformShowWarning("App Error", "Could not create OpenGL context");
        return false;
    }
    InitGL();
    return true;
}

void CAppGL::Present()
{
    if (m_context)
        PlatformSwapBuffers(GetWindow());
}

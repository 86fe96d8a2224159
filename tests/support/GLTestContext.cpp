#include "support/GLTestContext.h"

#include "media/GL.h"

#include <SDL.h>

namespace {

using GenFramebuffers = void(APIENTRYP)(GLsizei, GLuint*);
using BindFramebuffer = void(APIENTRYP)(GLenum, GLuint);
using FramebufferRenderbuffer = void(APIENTRYP)(GLenum, GLenum, GLenum, GLuint);
using GenRenderbuffers = void(APIENTRYP)(GLsizei, GLuint*);
using BindRenderbuffer = void(APIENTRYP)(GLenum, GLuint);
using RenderbufferStorage = void(APIENTRYP)(GLenum, GLenum, GLsizei, GLsizei);
using CheckFramebufferStatus = GLenum(APIENTRYP)(GLenum);

// The window, its context and the offscreen target, made once.
struct Holder {
    bool tried = false;
    std::string failure;
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;

    bool Make()
    {
        if (SDL_Init(SDL_INIT_VIDEO) != 0)
            return Fail("SDL video: ");
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
        SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
        SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
        window = SDL_CreateWindow("test", 0, 0, GLTestContext::kSide, GLTestContext::kSide,
                                  SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        if (!window)
            return Fail("window: ");
        context = SDL_GL_CreateContext(window);
        if (!context)
            return Fail("OpenGL context: ");
        if (SDL_GL_MakeCurrent(window, context) != 0)
            return Fail("make current: ");
        return MakeTarget();
    }

    // A hidden window's own framebuffer may not keep what is drawn, so tests draw into a
    // framebuffer object of RGBA8 colour and depth + stencil.
    bool MakeTarget()
    {
        auto gen = reinterpret_cast<GenFramebuffers>(SDL_GL_GetProcAddress("glGenFramebuffers"));
        auto bind = reinterpret_cast<BindFramebuffer>(SDL_GL_GetProcAddress("glBindFramebuffer"));
        auto attach = reinterpret_cast<FramebufferRenderbuffer>(SDL_GL_GetProcAddress("glFramebufferRenderbuffer"));
        auto genRb = reinterpret_cast<GenRenderbuffers>(SDL_GL_GetProcAddress("glGenRenderbuffers"));
        auto bindRb = reinterpret_cast<BindRenderbuffer>(SDL_GL_GetProcAddress("glBindRenderbuffer"));
        auto storage = reinterpret_cast<RenderbufferStorage>(SDL_GL_GetProcAddress("glRenderbufferStorage"));
        auto status = reinterpret_cast<CheckFramebufferStatus>(SDL_GL_GetProcAddress("glCheckFramebufferStatus"));
        if (!HasGLExtension("GL_ARB_framebuffer_object") || !gen || !bind || !attach || !genRb || !bindRb ||
            !storage || !status) {
            failure = "no framebuffer objects";
            return false;
        }
        GLuint framebuffer = 0, buffers[2] = {0, 0};
        gen(1, &framebuffer);
        bind(GL_FRAMEBUFFER, framebuffer);
        genRb(2, buffers);
        bindRb(GL_RENDERBUFFER, buffers[0]);
        storage(GL_RENDERBUFFER, GL_RGBA8, GLTestContext::kSide, GLTestContext::kSide);
        attach(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, buffers[0]);
        bindRb(GL_RENDERBUFFER, buffers[1]);
        storage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, GLTestContext::kSide, GLTestContext::kSide);
        attach(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, buffers[1]);
        attach(GL_FRAMEBUFFER, GL_STENCIL_ATTACHMENT, GL_RENDERBUFFER, buffers[1]);
        if (status(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
            failure = "offscreen framebuffer incomplete";
            return false;
        }
        return true;
    }

    bool Fail(const char* what)
    {
        failure = std::string(what) + SDL_GetError();
        return false;
    }

    // The context lives until the process ends. Tearing it down would unload the driver
    // before the leak check runs, and the driver's own allocations would then be reported
    // from an unknown module instead of being matched by scripts/lsan.supp.
};

Holder& TheHolder()
{
    static Holder holder;
    return holder;
}

} // namespace

bool GLTestContext::Acquire(std::string* why)
{
    Holder& holder = TheHolder();
    if (!holder.tried) {
        holder.tried = true;
        if (!holder.Make() && holder.context) {
            SDL_GL_DeleteContext(holder.context);
            holder.context = nullptr;
        }
    }
    if (!holder.context) {
        if (why)
            *why = holder.failure;
        return false;
    }
    SDL_GL_MakeCurrent(holder.window, holder.context);
    return true;
}

std::vector<uint8_t> GLTestContext::ReadPixels()
{
    std::vector<uint8_t> pixels(static_cast<size_t>(kSide) * kSide * 4);
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kSide, kSide, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

void GLTestContext::Pixel(int x, int y, uint8_t rgba[4])
{
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
}

std::vector<uint8_t> GLTestContext::ColourAt(int x, int y)
{
    uint8_t rgba[4];
    Pixel(x, kSide - 1 - y, rgba);
    return std::vector<uint8_t>(rgba, rgba + 3);
}

void GLTestContext::WithEachArrayPath(const std::function<void(bool buffers)>& body)
{
    const bool available = g_glCaps.vertexBuffers;
    for (bool buffers : {false, true}) {
        if (buffers && !available)
            continue;
        g_glCaps.vertexBuffers = buffers;
        body(buffers);
        g_glCaps.vertexBuffers = available;
    }
}

void GLTest::SetUp()
{
    std::string why;
    if (!GLTestContext::Acquire(&why)) {
        GTEST_SKIP() << "no OpenGL context: " << why;
    }
    InitGL();
    GLViewport(0, 0, GLTestContext::kSide, GLTestContext::kSide);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, GLTestContext::kSide, GLTestContext::kSide, 0, -1000, 1000);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glColor4f(1, 1, 1, 1);
    GLClear(0, 0, 0, 1);
}

void GLTest::TearDown()
{
    if (GLTestContext::Acquire(nullptr)) {
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
}

// The program's OpenGL state: the start-up state (InitGL), optional extensions and their
// entry points (LoadExtension), the process-wide capability flags, and thin wrappers that
// each make one state change. Everything here needs the current context and runs on the
// thread that owns it. Drawing itself is fixed-function OpenGL 1.x (media/Draw.h).
#pragma once

#include "media/Matrix.h"
#include "util/Vector.h"
#include "util/String.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdint>

// Set once by InitGL; all false (and one texture unit) until then or without a context.
struct GLCapabilities {
    bool multitexture = false;      // GL_ARB_multitexture entry points loaded
    bool vertexBuffers = false;     // GL_ARB_vertex_buffer_object entry points loaded
    bool vertexShaders = false;     // detected and loaded; nothing draws with shaders
    bool fragmentShaders = false;
    int32_t textureUnits = 1;       // texture units used for multitexturing
};
extern GLCapabilities g_glCaps;

// Extension entry points, null until LoadExtension found their group.
struct GLEntryPoints {
    PFNGLACTIVETEXTUREARBPROC activeTexture = nullptr;
    PFNGLCLIENTACTIVETEXTUREARBPROC clientActiveTexture = nullptr;
    PFNGLBINDBUFFERARBPROC bindBuffer = nullptr;
    PFNGLGENBUFFERSARBPROC genBuffers = nullptr;
    PFNGLBUFFERDATAARBPROC bufferData = nullptr;
    PFNGLDELETEBUFFERSARBPROC deleteBuffers = nullptr;
    PFNGLCREATESHADERPROC createShader = nullptr;
    PFNGLSHADERSOURCEPROC shaderSource = nullptr;
    PFNGLCOMPILESHADERPROC compileShader = nullptr;
    PFNGLCREATEPROGRAMPROC createProgram = nullptr;
    PFNGLATTACHSHADERPROC attachShader = nullptr;
    PFNGLLINKPROGRAMPROC linkProgram = nullptr;
    PFNGLUSEPROGRAMPROC useProgram = nullptr;
    PFNGLDETACHSHADERPROC detachShader = nullptr;
    PFNGLDELETESHADERPROC deleteShader = nullptr;
    PFNGLDELETEPROGRAMPROC deleteProgram = nullptr;
    PFNGLGETUNIFORMLOCATIONPROC getUniformLocation = nullptr;
    PFNGLUNIFORM1IVPROC uniform1iv = nullptr;
    PFNGLUNIFORM2IVPROC uniform2iv = nullptr;
    PFNGLUNIFORM3IVPROC uniform3iv = nullptr;
    PFNGLUNIFORM4IVPROC uniform4iv = nullptr;
    PFNGLUNIFORM1FVPROC uniform1fv = nullptr;
    PFNGLUNIFORM2FVPROC uniform2fv = nullptr;
    PFNGLUNIFORM3FVPROC uniform3fv = nullptr;
    PFNGLUNIFORM4FVPROC uniform4fv = nullptr;
    PFNGLUNIFORMMATRIX2FVPROC uniformMatrix2fv = nullptr;
    PFNGLUNIFORMMATRIX3FVPROC uniformMatrix3fv = nullptr;
    PFNGLUNIFORMMATRIX4FVPROC uniformMatrix4fv = nullptr;
    PFNGLGETSHADERINFOLOGPROC getShaderInfoLog = nullptr;
    PFNGLGETPROGRAMINFOLOGPROC getProgramInfoLog = nullptr;
};
extern GLEntryPoints g_gl;

// The start-up state: clear colour (0.5, 0.5, 0.5, 1), smooth shading, depth test with
// GL_LEQUAL, normal normalisation, lighting, and the vertex, texture-coordinate and normal
// arrays enabled; then the four optional extensions and the texture unit count into
// g_glCaps. Called once after the context is made current.
void InitGL();

// Loads the entry points of a known extension group and tells whether it can be used:
// "GL_ARB_multitexture", "GL_ARB_vertex_buffer_object", "GL_ARB_vertex_shader" and
// "GL_ARB_fragment_shader" (one shared group of shader entry points), and
// "WGL_ARB_extensions_string" (never present on this platform). Each entry point is fetched
// once per process; a group is usable when all of its entry points were found and the
// extension's name is in the context's extension list (the platform's loader cannot tell a
// missing function by itself). Any other name: whether it is in the extension list.
bool LoadExtension(const String& name);
// Whether name is one of the context's extensions (a whole entry, not a part of one).
bool HasGLExtension(const char* name);

// [SECTION] One-change wrappers

// Sets the clear colour and clears the colour, depth and stencil buffers.
void GLClear(float r, float g, float b, float a);
// glEnable or glDisable of a capability.
void GLEnable(GLenum capability, bool enable);
void GLScissor(int32_t x, int32_t y, int32_t width, int32_t height);
// A width or height of 0 (or less) is set as 1.
void GLViewport(int32_t x, int32_t y, int32_t width, int32_t height);
// Selects the matrix mode and, when matrix is a 4 × 4 matrix, loads it as stored.
void GLLoadProjection(const CMatrix* matrix);
void GLLoadModelView(const CMatrix* matrix);

// One light's settings; colours are r, g, b (alpha is always 1), the position x, y, z
// (w is always 1).
struct GLLightSetup {
    bool enabled = true;
    CVector position = CVector(0, 0, 0);
    CVector ambient = CVector(0, 0, 0);
    CVector diffuse = CVector(1, 1, 1);
    CVector specular = CVector(0, 0, 0);
    float constantAttenuation = 1.0f;
    float linearAttenuation = 0.0f;
    float quadraticAttenuation = 0.0f;
    bool spot = false;              // when set, the three spot values below are applied
    CVector spotDirection = CVector(0, 0, -1);
    float spotCutoff = 180.0f;      // degrees, 0..90 or 180
    float spotExponent = 0.0f;
};
// Sets up GL_LIGHT0 + index: disabled when !enabled (nothing else changes); otherwise enabled
// with the position, colours, attenuation and, for a spot, direction, cutoff and exponent.
void GLLight(uint32_t index, const GLLightSetup& light);

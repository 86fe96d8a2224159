#include "media/GL.h"

#include "media/DrawBatch.h"

#include "platform/GLProcs.h"

#include <cstring>

GLCapabilities g_glCaps;
GLEntryPoints g_gl;

namespace {

// Fetches one entry point unless it was fetched before; false when it cannot be had.
template <typename Fn>
bool Fetch(Fn& slot, const char* name)
{
    if (!slot)
        slot = reinterpret_cast<Fn>(PlatformGetProcAddress(name));
    return slot != nullptr;
}

bool LoadMultitexture()
{
    bool ok = Fetch(g_gl.activeTexture, "glActiveTextureARB");
    return Fetch(g_gl.clientActiveTexture, "glClientActiveTextureARB") && ok;
}

bool LoadVertexBuffers()
{
    bool ok = Fetch(g_gl.bindBuffer, "glBindBufferARB");
    ok = Fetch(g_gl.genBuffers, "glGenBuffersARB") && ok;
    ok = Fetch(g_gl.bufferData, "glBufferDataARB") && ok;
    return Fetch(g_gl.deleteBuffers, "glDeleteBuffersARB") && ok;
}

bool LoadShaders()
{
    bool ok = true;
    ok = Fetch(g_gl.createShader, "glCreateShader") && ok;
    ok = Fetch(g_gl.shaderSource, "glShaderSource") && ok;
    ok = Fetch(g_gl.compileShader, "glCompileShader") && ok;
    ok = Fetch(g_gl.createProgram, "glCreateProgram") && ok;
    ok = Fetch(g_gl.attachShader, "glAttachShader") && ok;
    ok = Fetch(g_gl.linkProgram, "glLinkProgram") && ok;
    ok = Fetch(g_gl.useProgram, "glUseProgram") && ok;
    ok = Fetch(g_gl.detachShader, "glDetachShader") && ok;
    ok = Fetch(g_gl.deleteShader, "glDeleteShader") && ok;
    ok = Fetch(g_gl.deleteProgram, "glDeleteProgram") && ok;
    ok = Fetch(g_gl.getUniformLocation, "glGetUniformLocation") && ok;
    ok = Fetch(g_gl.uniform1iv, "glUniform1iv") && ok;
    ok = Fetch(g_gl.uniform2iv, "glUniform2iv") && ok;
    ok = Fetch(g_gl.uniform3iv, "glUniform3iv") && ok;
    ok = Fetch(g_gl.uniform4iv, "glUniform4iv") && ok;
    ok = Fetch(g_gl.uniform1fv, "glUniform1fv") && ok;
    ok = Fetch(g_gl.uniform2fv, "glUniform2fv") && ok;
    ok = Fetch(g_gl.uniform3fv, "glUniform3fv") && ok;
    ok = Fetch(g_gl.uniform4fv, "glUniform4fv") && ok;
    ok = Fetch(g_gl.uniformMatrix2fv, "glUniformMatrix2fv") && ok;
    ok = Fetch(g_gl.uniformMatrix3fv, "glUniformMatrix3fv") && ok;
    ok = Fetch(g_gl.uniformMatrix4fv, "glUniformMatrix4fv") && ok;
    ok = Fetch(g_gl.getShaderInfoLog, "glGetShaderInfoLog") && ok;
    return Fetch(g_gl.getProgramInfoLog, "glGetProgramInfoLog") && ok;
}

// The WGL pixel-format entry points have no counterpart here: the platform layer sets the
// pixel format (multisampling included) through its own attributes, so the group is never
// available.
bool LoadWglExtensionsString() { return false; }

bool InList(const char* list, const char* name, size_t nameLength)
{
    for (const char* at = list; (at = std::strstr(at, name)) != nullptr; at += nameLength) {
        bool startsEntry = at == list || at[-1] == ' ';
        bool endsEntry = at[nameLength] == ' ' || at[nameLength] == 0;
        if (startsEntry && endsEntry)
            return true;
    }
    return false;
}

} // namespace

bool HasGLExtension(const char* name)
{
    if (!name || !*name)
        return false;
    const size_t length = std::strlen(name);
    if (const GLubyte* list = glGetString(GL_EXTENSIONS))
        return InList(reinterpret_cast<const char*>(list), name, length);
    // Contexts without the single list (core profiles) name their extensions one by one.
    using GetStringi = const GLubyte* (APIENTRYP)(GLenum, GLuint);
    static GetStringi getStringi = nullptr;
    if (!Fetch(getStringi, "glGetStringi"))
        return false;
    GLint count = 0;
    glGetIntegerv(GL_NUM_EXTENSIONS, &count);
    for (GLint i = 0; i < count; ++i) {
        const GLubyte* entry = getStringi(GL_EXTENSIONS, static_cast<GLuint>(i));
        if (entry && std::strcmp(reinterpret_cast<const char*>(entry), name) == 0)
            return true;
    }
    return false;
}

bool LoadExtension(const String& name)
{
    bool found;
    if (name == "GL_ARB_multitexture")
        found = LoadMultitexture();
    else if (name == "GL_ARB_vertex_buffer_object")
        found = LoadVertexBuffers();
    else if (name == "GL_ARB_vertex_shader" || name == "GL_ARB_fragment_shader")
        found = LoadShaders();
    else if (name == "WGL_ARB_extensions_string")
        found = LoadWglExtensionsString();
    else
        found = true;
    return found && HasGLExtension(name.CStr());
}

void InitGL()
{
    glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_NORMALIZE);
    glEnable(GL_LIGHTING);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);

    g_glCaps.multitexture = LoadExtension("GL_ARB_multitexture");
    g_glCaps.vertexBuffers = LoadExtension("GL_ARB_vertex_buffer_object");
    g_glCaps.vertexShaders = LoadExtension("GL_ARB_vertex_shader");
    g_glCaps.fragmentShaders = LoadExtension("GL_ARB_fragment_shader");
    GLint units = 1;
    if (g_glCaps.multitexture)
        glGetIntegerv(GL_MAX_TEXTURE_UNITS_ARB, &units);
    g_glCaps.textureUnits = units > 0 ? units : 1;
}

// [SECTION] One-change wrappers

void GLClear(float r, float g, float b, float a)
{
    FlushBatch(true);
    glClearColor(r, g, b, a);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    BatchNoteDepthCleared();
}

void GLEnable(GLenum capability, bool enable)
{
    InvalidateBatchState();
    if (enable)
        glEnable(capability);
    else
        glDisable(capability);
}

void GLScissor(int32_t x, int32_t y, int32_t width, int32_t height)
{
    InvalidateBatchState();
    glScissor(x, y, width < 0 ? 0 : width, height < 0 ? 0 : height);
}

void GLViewport(int32_t x, int32_t y, int32_t width, int32_t height)
{
    InvalidateBatchState();
    glViewport(x, y, width > 0 ? width : 1, height > 0 ? height : 1);
}

namespace {

void LoadMatrix(GLenum mode, const CMatrix* matrix)
{
    const bool square = matrix && matrix->Rows() == 4 && matrix->Columns() == 4;
    if (mode == GL_PROJECTION)
        InvalidateBatchState();
    else if (square)
        BatchLoadModelView(matrix->Data());
    glMatrixMode(mode);
    if (square)
        glLoadMatrixf(matrix->Data());
}

} // namespace

void GLLoadProjection(const CMatrix* matrix) { LoadMatrix(GL_PROJECTION, matrix); }
void GLLoadModelView(const CMatrix* matrix) { LoadMatrix(GL_MODELVIEW, matrix); }

void GLLight(uint32_t index, const GLLightSetup& light)
{
    InvalidateBatchState();
    const GLenum id = GL_LIGHT0 + index;
    if (!light.enabled) {
        glDisable(id);
        return;
    }
    glEnable(id);
    const GLfloat position[4] = {light.position.x, light.position.y, light.position.z, 1.0f};
    const GLfloat ambient[4] = {light.ambient.x, light.ambient.y, light.ambient.z, 1.0f};
    const GLfloat diffuse[4] = {light.diffuse.x, light.diffuse.y, light.diffuse.z, 1.0f};
    const GLfloat specular[4] = {light.specular.x, light.specular.y, light.specular.z, 1.0f};
    glLightfv(id, GL_POSITION, position);
    glLightfv(id, GL_AMBIENT, ambient);
    glLightfv(id, GL_DIFFUSE, diffuse);
    glLightfv(id, GL_SPECULAR, specular);
    glLightf(id, GL_CONSTANT_ATTENUATION, light.constantAttenuation);
    glLightf(id, GL_LINEAR_ATTENUATION, light.linearAttenuation);
    glLightf(id, GL_QUADRATIC_ATTENUATION, light.quadraticAttenuation);
    if (light.spot) {
        const GLfloat direction[3] = {light.spotDirection.x, light.spotDirection.y, light.spotDirection.z};
        glLightfv(id, GL_SPOT_DIRECTION, direction);
        glLightf(id, GL_SPOT_CUTOFF, light.spotCutoff);
        glLightf(id, GL_SPOT_EXPONENT, light.spotExponent);
    }
}

#include "media/Texture.h"

#include "media/DrawBatch.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdlib>

CTexture::~CTexture()
{
    if (glName != 0) {
        FlushBatch(); // filed shapes may still show it
        ForgetBatchTexture(glName);
        GLuint name = glName;
        glDeleteTextures(1, &name);
    }
}

uint32_t CTexture::CanvasSide(uint32_t w, uint32_t h)
{
    if (w == 0 || h == 0)
        return 0;
    uint32_t larger = w > h ? w : h;
    uint32_t side = 1;
    while (side < larger && side < (1u << 31))
        side <<= 1;
    return side;
}

void CTexture::Upload()
{
    if (!pixels || width == 0 || height == 0 || channels < 1 || channels > 4)
        return;
    const uint32_t side = CanvasSide(width, height);
    CImage canvas;
    const CImage* source = this;
    if (side != width || side != height) {
        if (!canvas.Allocate(bitsPerPixel, side, side, channels))
            return;
        canvas.Paste(*this, width, height);
        source = &canvas;
    }

    const uint32_t valueBytes = BytesPerChannel();
    const GLenum type = valueBytes == 2 ? GL_UNSIGNED_SHORT : valueBytes == 4 ? GL_FLOAT : GL_UNSIGNED_BYTE;
    static const GLenum kFormats[5] = {0, GL_LUMINANCE, GL_LUMINANCE_ALPHA, GL_RGB, GL_RGBA};
    const GLenum format = kFormats[channels];

    // A texture keeps its name across uploads: materials hold copies of it. Shapes filed
    // before the upload show the old image.
    FlushBatch();
    ForgetBatchTexture(glName);
    GLuint name = glName;
    if (name != 0)
        glDeleteTextures(1, &name);
    else
        glGenTextures(1, &name);
    glName = name;
    size = side;
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    gluBuild2DMipmaps(GL_TEXTURE_2D, static_cast<GLint>(channels), static_cast<GLsizei>(side),
                      static_cast<GLsizei>(side), format, type, source->pixels);

    if (!external) {
        std::free(pixels);
        pixels = nullptr;
    }
}

// CTexture: an image sent to OpenGL as a square, power-of-two texture with mipmaps. After
// Upload the pixel block is gone (unless external) and glName names the texture; the
// destructor deletes it, so a texture must be destroyed while its context is current.
// Textures are owned by the resource manager; sprite frames only point at them.
#pragma once

#include "media/Image.h"

#include <cstdint>

class CTexture : public CImage {
public:
    CTexture() = default;
    ~CTexture() override;
    CTexture(const CTexture&) = delete;
    CTexture& operator=(const CTexture&) = delete;

    // Without pixels (or with a channel count outside 1 to 4) nothing happens. Otherwise a
    // picture that is not already a power-of-two square is pasted into the top-left corner
    // of a transparent black canvas with the side of the next power of two of its larger
    // side (nothing is scaled); the result is uploaded under glName (made on the first upload,
    // reused after) with repeat wrapping, linear / linear-mipmap-linear filtering, modulate,
    // and all mipmap levels; size becomes the canvas side. Then an owned pixel block is
    // freed (pixels becomes null; the sizes stay). Grey + alpha pictures keep their alpha.
    void Upload();

    // The canvas side Upload uses for a width × height picture: the side itself for a
    // power-of-two square, else the next power of two of the larger side; 0 for an empty
    // picture.
    static uint32_t CanvasSide(uint32_t width, uint32_t height);

    uint32_t glName = 0;   // the OpenGL texture name; 0 until the first upload
    uint32_t size = 0;     // side of the uploaded square in pixels; 0 until uploaded
    float scaleX = 1.0f;   // frame rectangles are multiplied by these before their texture
    float scaleY = 1.0f;   // coordinates are computed (media/Sprite.h)
};

// CGlyphTexture: the uploaded picture of a font entry's glyphs (media/GlyphImage.h) that knows
// how it was rendered, so that a zoomed display can have the same characters rendered again at
// its own pixel size: the height times the pixel scale, into a texture of their own, each
// glyph in a cell that holds all of its ink. Drawn at
// 1 / scale of their size, such glyphs put one texel on one window pixel, so text stays crisp
// instead of stretched. It owns the scaled pictures (one per pixel height asked for); like
// every texture it is destroyed while the context is current. Main thread.
#pragma once

#include "media/Sprite.h"
#include "media/Texture.h"

#include <cstdint>
#include <memory>
#include <vector>

class CGlyphTexture : public CTexture {
public:
    // The entry's font file, pixel height and code range, as RenderGlyphImage took them.
    CGlyphTexture(const String& fontPath, int32_t height, int32_t first, int32_t last);
    ~CGlyphTexture() override;

    // The frame of code's glyph rendered at round(height × scale) pixels: x, y, w and h are
    // that picture's pixels (so w / scale and h / scale are its size in drawing units), the
    // texture coordinates point into it. The picture is rendered and uploaded on the first
    // call for its height. Null when this texture was never uploaded (no context), the
    // rounded height is this texture's own, the font cannot be rendered at that height, or
    // the code has no glyph there. Scales that round to one height share its picture, and
    // heights are capped at kMaxGlyphHeight (media/GlyphImage.h), so the pictures kept stay
    // few.
    // *baseline (when given) becomes the rows from the frame's top to the glyph's baseline.
    const CSpriteFrame* ScaledGlyph(uint32_t code, float scale, int32_t* baseline = nullptr);

    int32_t GetHeight() const { return m_height; }

    // Rows from a cell's top to the baseline in this texture's own picture (the loader sets
    // it from RenderGlyphImage).
    int32_t baseline = 0;

private:
    struct Scaled {
        int32_t height = 0;
        std::unique_ptr<CTexture> texture; // null when the height could not be rendered
        int32_t baseline = 0;
        std::vector<uint32_t> codes;       // ascending, one per frame
        std::vector<CSpriteFrame> frames;
    };
    Scaled& Render(int32_t height);

    String m_fontPath;
    int32_t m_height = 0;
    int32_t m_first = 0;
    int32_t m_last = 0;
    std::vector<Scaled> m_scaled;
};

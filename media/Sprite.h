// CSprite: a list of rectangular frames cut from textures, with per-frame delays for
// animation. Showing a frame writes its texture and texture-coordinate transform into the
// material of the shape that shows the sprite (its target), so quads keep texture
// coordinates 0..1 and the texture matrix selects the frame. Sprites own their frames but
// neither their textures nor their target; both must outlive the sprite's use.
#pragma once

#include "media/Resource.h"

#include <cstdint>
#include <vector>

class CTexture;
struct CMaterial;

struct CSpriteFrame {
    String name;               // a glyph's one-character name in font sprites; often empty
    int32_t x = 0, y = 0;      // texture pixels, y from the top of the picture
    int32_t w = 0, h = 0;
    uint32_t delay = 0;        // milliseconds the frame stays when animating
    float s = 0.0f, t = 0.0f;  // the rectangle in texture coordinates: origin (t from the
    float sw = 0.0f, th = 0.0f; // bottom, as rows are bottom-up) and extent
    CTexture* texture = nullptr; // not owned

    // s, t, sw and th from x, y, w and h against the texture's uploaded size: s = x / size,
    // t = (size − h − y) / size, sw = w / size, th = h / size. All 0 without a texture or
    // before its upload.
    void ComputeTexCoords();
};

class CSprite : public CResource {
public:
    CSprite() { kind = ResourceSprite; }
    // Copies take the frames (by value), fps, current and nextSwitch, never the target:
    // the target binds a sprite to the shape showing it, and each shape points its own
    // sprite at itself.
    CSprite(const CSprite& other);
    CSprite& operator=(const CSprite& other);

    // Fills a frame record: the name is left as it is; x, y, w, h, delay and texture are
    // stored; with a texture, x and w are multiplied by its scaleX and y and h by its
    // scaleY (truncated); then the texture coordinates are computed.
    static void SetFrame(CSpriteFrame& frame, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t delay,
                         CTexture* texture);
    // Appends a frame set up by SetFrame; returns its index.
    uint32_t AddFrame(const String& name, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t delay,
                      CTexture* texture);
    // The first frame whose name matches exactly, or null.
    CSpriteFrame* FindFrame(const String& name);
    // Recomputes every frame's texture coordinates (after its texture was uploaded).
    void ComputeTexCoords();

    // Shows frame `index` on the target: for a frame with a texture, the target material's
    // texture matrix gets the scale (sw, th) in entries 0 and 5 and the offset (s, t) in
    // entries 12 and 13, and its texture slot 0 (when it has one) the texture's glName;
    // then current becomes index. Nothing at all for an index past the last frame or
    // without a target.
    void ShowFrame(uint32_t index);
    // Shows a frame that need not be one of the sprite's own on the target as ShowFrame does
    // (which also sets the target's texel, CMaterial::texel); current stays. A frame drawn
    // texel for pixel (a glyph rendered for the pixel scale, media/GlyphTexture.h) is shown
    // with texel 0: its edges need no inset.
    void Show(const CSpriteFrame& frame, bool texelForPixel = false);

    // Advances to the next frame (after the last, back to 0) when the clock is past
    // nextSwitch, shows it, and sets nextSwitch to the clock plus that frame's delay.
    // Animate() reads the platform's millisecond clock; Animate(now) takes the time.
    void Animate();
    void Animate(uint32_t now);

    uint32_t FrameCount() const { return static_cast<uint32_t>(frames.size()); }

    std::vector<CSpriteFrame> frames;
    CMaterial* target = nullptr; // the material this sprite drives; not owned; may be null
    uint32_t fps = 0;            // from the resources file
    uint32_t current = 0;        // index of the frame shown
    uint32_t nextSwitch = 0;     // millisecond clock value at which the next frame is due
};

#include "media/Sprite.h"

#include "media/Draw.h"
#include "media/Texture.h"
#include "platform/Clock.h"

void CSpriteFrame::ComputeTexCoords()
{
    if (!texture || texture->size == 0) {
        s = t = sw = th = 0.0f;
        return;
    }
    const float side = static_cast<float>(texture->size);
    s = static_cast<float>(x) / side;
    t = static_cast<float>(static_cast<int64_t>(texture->size) - h - y) / side;
    sw = static_cast<float>(w) / side;
    th = static_cast<float>(h) / side;
}

CSprite::CSprite(const CSprite& other)
    : CResource(other), frames(other.frames), fps(other.fps), current(other.current), nextSwitch(other.nextSwitch)
{
}

CSprite& CSprite::operator=(const CSprite& other)
{
    if (this != &other) {
        CResource::operator=(other);
        frames = other.frames;
        fps = other.fps;
        current = other.current;
        nextSwitch = other.nextSwitch;
    }
    return *this;
}

void CSprite::SetFrame(CSpriteFrame& frame, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t delay,
                       CTexture* texture)
{
    frame.x = x;
    frame.y = y;
    frame.w = w;
    frame.h = h;
    frame.delay = delay;
    frame.texture = texture;
    if (texture) {
        frame.x = static_cast<int32_t>(static_cast<float>(x) * texture->scaleX);
        frame.w = static_cast<int32_t>(static_cast<float>(w) * texture->scaleX);
        frame.y = static_cast<int32_t>(static_cast<float>(y) * texture->scaleY);
        frame.h = static_cast<int32_t>(static_cast<float>(h) * texture->scaleY);
    }
    frame.ComputeTexCoords();
}

uint32_t CSprite::AddFrame(const String& name, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t delay,
                           CTexture* texture)
{
    frames.emplace_back();
    frames.back().name = name;
    SetFrame(frames.back(), x, y, w, h, delay, texture);
    return FrameCount() - 1;
}

CSpriteFrame* CSprite::FindFrame(const String& name)
{
    for (CSpriteFrame& frame : frames)
        if (frame.name == name)
            return &frame;
    return nullptr;
}

void CSprite::ComputeTexCoords()
{
    for (CSpriteFrame& frame : frames)
        frame.ComputeTexCoords();
}

void CSprite::ShowFrame(uint32_t index)
{
    if (index >= frames.size() || !target)
        return;
    Show(frames[index]);
    current = index;
}

void CSprite::Show(const CSpriteFrame& frame, bool texelForPixel)
{
    if (!target || !frame.texture)
        return;
    target->texel = texelForPixel || frame.texture->size == 0 ? 0.0f : 1.0f / static_cast<float>(frame.texture->size);
    target->textureMatrix.SetAt(0, frame.sw);
    target->textureMatrix.SetAt(5, frame.th);
    target->textureMatrix.SetAt(12, frame.s);
    target->textureMatrix.SetAt(13, frame.t);
    if (!target->textures.empty())
        target->textures[0] = frame.texture->glName;
}

void CSprite::Animate() { Animate(PlatformTicks()); }

void CSprite::Animate(uint32_t now)
{
    // The clock wraps: "past" is a positive signed difference.
    if (frames.empty() || static_cast<int32_t>(now - nextSwitch) <= 0)
        return;
    current = current + 1 < frames.size() ? current + 1 : 0;
    ShowFrame(current);
    nextSwitch = now + frames[current].delay;
}

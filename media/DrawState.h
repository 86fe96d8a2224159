// Scoped drawing state for the layers above media/, which never call OpenGL themselves: the
// pixel scale of the drawing units, a stack of clip rectangles, the overlay pass that draws on
// top of a finished frame, and a pushed model-view transform. Each scope undoes exactly what it
// set, so nesting is safe. Everything here needs the current context (but the pixel scale) and
// runs on the thread that owns it.
#pragma once

#include "media/Matrix.h"

#include <cstdint>

// [SECTION] Pixel scale

// Window pixels per drawing unit: everything above media/ draws and lays out in units (the
// zoomed interface's logical pixels), and the application's projection maps a unit onto this
// many window pixels. 1 (the default) draws unit for pixel. Values that are not finite and
// positive are ignored. Clip rectangles and the overlay pass convert with it; text rasterises
// its glyphs at its size times it (gui/Font.h).
void SetPixelScale(float scale);
float GetPixelScale();

// [SECTION] Clip rectangles

// A clip rectangle in drawing units: x to the right and y down from the top-left corner of the
// viewport, its edges multiplied by the pixel scale and truncated to whole pixels. Each one pushed is intersected with the one
// below it (an empty intersection draws nothing) and becomes the scissor box. The first push
// remembers whether scissoring was on and its box; popping the last one puts both back, and
// popping any other re-applies the rectangle below. A pop without a push does nothing.
void PushClip(float x, float y, float width, float height);
void PopClip();
// Rectangles on the stack (0 when nothing clips).
uint32_t GetClipDepth();

// Pushes a clip rectangle for its lifetime.
class CClipScope {
public:
    CClipScope(float x, float y, float width, float height) { PushClip(x, y, width, height); }
    ~CClipScope() { PopClip(); }
    CClipScope(const CClipScope&) = delete;
    CClipScope& operator=(const CClipScope&) = delete;
};

// [SECTION] Overlay pass

// For its lifetime, drawing goes on top of whatever the frame holds: a projection of one unit
// per pixel-scale viewport pixels with y down (near −1000, far 1000), an identity model-view, the depth
// test on (less-or-equal, writing) over a cleared depth buffer, lighting on (looks are
// emission colours) and face culling off. The destructor restores both matrices and the
// enable, depth, lighting, current-colour and transform state it found.
class COverlayPass {
public:
    COverlayPass();
    ~COverlayPass();
    COverlayPass(const COverlayPass&) = delete;
    COverlayPass& operator=(const COverlayPass&) = delete;
};

// [SECTION] Model-view transform

// For its lifetime, the model-view matrix is multiplied by transform (as stored; a matrix of
// another size than 4 × 4 multiplies nothing); the destructor restores the matrix it found.
// Both leave the model-view matrix mode selected.
class CModelViewScope {
public:
    explicit CModelViewScope(const CMatrix& transform);
    ~CModelViewScope();
    CModelViewScope(const CModelViewScope&) = delete;
    CModelViewScope& operator=(const CModelViewScope&) = delete;
};

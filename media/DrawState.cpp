#include "media/DrawState.h"

#include "media/DrawBatch.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <vector>

// [SECTION] Pixel scale

namespace {

float s_pixelScale = 1.0f;

} // namespace

void SetPixelScale(float scale)
{
    if (std::isfinite(scale) && scale > 0.0f)
        s_pixelScale = scale;
}

float GetPixelScale() { return s_pixelScale; }

// [SECTION] Clip rectangles

namespace {

struct ClipEdges {
    int32_t left, top, right, bottom; // window pixels, y down; right and bottom exclusive
};

struct ClipStack {
    std::vector<ClipEdges> rects;
    bool wasOn = false;     // the scissor state before the first push
    GLint oldBox[4] = {0, 0, 0, 0};
};

ClipStack& Clips()
{
    static ClipStack stack;
    return stack;
}

void ApplyClip(const ClipEdges& clip)
{
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    const int32_t width = std::max(0, clip.right - clip.left), height = std::max(0, clip.bottom - clip.top);
    const int32_t box[4] = {viewport[0] + clip.left, viewport[1] + viewport[3] - (clip.top + height), width, height};
    glEnable(GL_SCISSOR_TEST);
    glScissor(box[0], box[1], box[2], box[3]);
    BatchNoteScissor(true, box);
}

} // namespace

void PushClip(float x, float y, float width, float height)
{
    ClipStack& stack = Clips();
    const float k = s_pixelScale;
    ClipEdges clip{static_cast<int32_t>(x * k), static_cast<int32_t>(y * k), static_cast<int32_t>((x + width) * k),
                   static_cast<int32_t>((y + height) * k)};
    if (stack.rects.empty()) {
        stack.wasOn = glIsEnabled(GL_SCISSOR_TEST) == GL_TRUE;
        glGetIntegerv(GL_SCISSOR_BOX, stack.oldBox);
    } else {
        const ClipEdges& below = stack.rects.back();
        clip.left = std::max(clip.left, below.left);
        clip.top = std::max(clip.top, below.top);
        clip.right = std::min(clip.right, below.right);
        clip.bottom = std::min(clip.bottom, below.bottom);
    }
    stack.rects.push_back(clip);
    ApplyClip(clip);
}

void PopClip()
{
    ClipStack& stack = Clips();
    if (stack.rects.empty())
        return;
    stack.rects.pop_back();
    if (!stack.rects.empty()) {
        ApplyClip(stack.rects.back());
        return;
    }
    glScissor(stack.oldBox[0], stack.oldBox[1], stack.oldBox[2], stack.oldBox[3]);
    if (!stack.wasOn)
        glDisable(GL_SCISSOR_TEST);
    const int32_t box[4] = {stack.oldBox[0], stack.oldBox[1], stack.oldBox[2], stack.oldBox[3]};
    BatchNoteScissor(stack.wasOn, box);
}

uint32_t GetClipDepth() { return static_cast<uint32_t>(Clips().rects.size()); }

// [SECTION] Overlay pass

COverlayPass::COverlayPass()
{
    InvalidateBatchState(true); // what was filed is drawn under the frame's own projection
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    glPushAttrib(GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT | GL_LIGHTING_BIT | GL_CURRENT_BIT | GL_TRANSFORM_BIT);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, viewport[2] / s_pixelScale, viewport[3] / s_pixelScale, 0.0, -1000.0, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_TRUE);
    glClear(GL_DEPTH_BUFFER_BIT);
    BatchNoteDepthCleared();
    glEnable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    BatchPushIdentityModelView();
}

COverlayPass::~COverlayPass()
{
    InvalidateBatchState();
    BatchPopModelView();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();
}

// [SECTION] Model-view transform

CModelViewScope::CModelViewScope(const CMatrix& transform)
{
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    const bool square = transform.Rows() == 4 && transform.Columns() == 4;
    if (square)
        glMultMatrixf(transform.Data());
    BatchPushModelView(square ? transform.Data() : nullptr);
}

CModelViewScope::~CModelViewScope()
{
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    BatchPopModelView();
}

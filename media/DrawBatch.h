// Frame batching. Between BeginBatch and EndBatch, CShape::Draw does not draw: it hands the
// shape to the batch, which lights its vertices on the CPU as fixed-function lighting does
// (light, material and normal in eye space), moves them into eye space, applies the texture
// matrix to their coordinates, and files them in runs that share a texture, blending, a
// primitive and a scissor box. A shape joins the latest run of its kind unless a run filed
// after that one overlaps it on screen, so whatever overlaps keeps its order; each run is
// then one draw call from one vertex buffer. Anything that changes what a draw means (a
// projection, viewport or enable, a clear, a texture upload, a light, the overlay pass) flushes
// first, so the picture is the one that drawing each shape at once gives.
//
// Shapes the batch cannot reproduce exactly are drawn at once, after a flush: several
// texture units in use, quad strips and polygons, two-sided lighting. Everything here needs
// the current context and runs on the thread that owns it.
#pragma once

#include <cstdint>

class CShape;

struct BatchStats {
    uint32_t shapes = 0;     // shapes filed into runs
    uint32_t immediate = 0;  // shapes drawn at once while batching
    uint32_t culled = 0;     // shapes dropped because they lie wholly outside the viewport or scissor box
    uint32_t draws = 0;      // draw calls the runs took
    uint32_t vertices = 0;   // vertices the runs drew
    uint32_t flushes = 0;    // flushes that drew something
    uint32_t magnified = 0;  // draws whose texture only magnifies, sampled without mipmaps
    uint32_t opaque = 0;     // draws of untextured opaque runs, made without blending
    uint32_t depthFree = 0;  // flushes drawn without the depth test, which nothing failed
};

// Opens a batch; nested calls are counted and only the outermost EndBatch flushes and closes.
// BeginBatch reads the model-view matrix from the context: it must hold then what drawing
// would see.
void BeginBatch();
void EndBatch();
bool IsBatching();
// Draws and empties the runs (nothing when none are open or no batch is). depthClearedNext
// promises that nothing reads the depth buffer before it is cleared again (an overlay pass
// follows, or the frame ends): then runs whose every fragment passes the depth test are
// drawn without it.
void FlushBatch(bool depthClearedNext = false);
// What the last closed batch did, or the open one so far.
BatchStats GetBatchStats();

// A batch for the lifetime of the scope.
class CBatchScope {
public:
    CBatchScope() { BeginBatch(); }
    ~CBatchScope() { EndBatch(); }
    CBatchScope(const CBatchScope&) = delete;
    CBatchScope& operator=(const CBatchScope&) = delete;
};

// [SECTION] For media/ itself

// Files the shape (true, also for a shape that draws nothing) or says that it must be drawn at
// once (false; the runs have been flushed then). False when no batch is open.
bool BatchShape(const CShape& shape);
// The context's state that filing depends on changed (lights, enables, projection, viewport,
// scissor): flushes, and reads it again before the next shape.
void InvalidateBatchState(bool depthClearedNext = false);
// The depth buffer was just cleared (to the context's clear depth).
void BatchNoteDepthCleared();
// Mirrors of the model-view changes that happen while a batch is open: multiply the matrix
// (column-major 4 × 4) onto a pushed copy, push an identity, pop, load (null: keep).
void BatchPushModelView(const float* multiply);
void BatchPushIdentityModelView();
void BatchPopModelView();
void BatchLoadModelView(const float* matrix);
// A texture's image or parameters are about to change, or its name to go: flushes, and
// forgets what filing knew of it.
void ForgetBatchTexture(uint32_t name);
// The scissor state a clip rectangle just set (box in OpenGL's window coordinates).
void BatchNoteScissor(bool on, const int32_t box[4]);

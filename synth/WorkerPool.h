// The renderer's worker pool: the one place in the synthesizer that owns threads. A job is
// split into numbered parts that run concurrently on the pool's threads and on the calling
// thread; RunParts returns when every part has finished. The pool is made on first use (one
// thread per hardware thread, the caller counting as one) and lives until the process ends.
// Jobs run one at a time; a part that itself calls RunParts runs that job inline.
#pragma once

#include <cstdint>

// How many threads a render uses, process-wide: n (at most kMaxRenderThreads), or one per
// hardware thread for 0 (the default). More threads than hardware threads are allowed; the
// pool grows to match.
constexpr uint32_t kMaxRenderThreads = 256;
void SetRenderThreads(uint32_t threads);
// The thread count in force, resolved: at least 1.
uint32_t RenderThreads();

// Runs job(context, part) once for every part in [0, parts), spread over at most
// RenderThreads() threads. job must not throw. Parts must not depend on one another's order.
void RunParts(uint32_t parts, void (*job)(void* context, uint32_t part), void* context);

// The same for any callable taking the part number, held by reference for the call.
template <typename Job>
void RunParts(uint32_t parts, Job& job)
{
    RunParts(parts, [](void* context, uint32_t part) { (*static_cast<Job*>(context))(part); }, &job);
}

// The replaced operator new behind FailingAllocator.h. Kept apart from the tests so that no
// allocation is inlined next to its free().
#include "FailingAllocator.h"

#include <cstdlib>
#include <new>

namespace {
size_t g_count = 0;
size_t g_first = 0; // 0: not armed
size_t g_last = 0;  // 0: no end
} // namespace

void FailingAllocator::Arm(size_t first, size_t last)
{
    g_count = 0;
    g_first = first;
    g_last = last;
}

void FailingAllocator::Count() { Arm(0); }

void FailingAllocator::Disarm() { g_first = 0; }

size_t FailingAllocator::Allocations() { return g_count; }

void* operator new(size_t size)
{
    ++g_count;
    if (g_first != 0 && g_count >= g_first && (g_last == 0 || g_count <= g_last))
        throw std::bad_alloc();
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

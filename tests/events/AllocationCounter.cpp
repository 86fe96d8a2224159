// Replaces the global operator new of the events tests so that a test can see whether code
// allocates. Kept apart from the tests so that no allocation is inlined next to its free().
#include <cstddef>
#include <cstdlib>
#include <new>

size_t g_allocations = 0;

void* operator new(size_t size)
{
    ++g_allocations;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

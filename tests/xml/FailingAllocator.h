// Makes the global operator new of the XML tests fail on demand, so that running out of memory
// can be tested exactly and repeatably. Allocations are counted from the last Arm or Count call;
// while armed, those numbered first to last (from 1) throw std::bad_alloc. One thread only.
#pragma once

#include <cstddef>

namespace FailingAllocator {

// Fails allocations first..last from now on; last = 0 fails every one from first on.
void Arm(size_t first, size_t last = 0);
// Counts from now on without failing.
void Count();
// Stops failing; the count goes on.
void Disarm();
// Allocations since the last Arm or Count.
size_t Allocations();

} // namespace FailingAllocator

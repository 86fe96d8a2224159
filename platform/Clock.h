// The millisecond clock (the replacement for timeGetTime): unsigned 32-bit milliseconds from
// an arbitrary start, wrapping after about 49.7 days. Compare times by their difference, as
// unsigned or as int32_t, never by their order.
#pragma once

#include <cstdint>

uint32_t PlatformTicks();

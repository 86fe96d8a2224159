// CCurve: a path through key points for the GUI's animations. Each segment runs from one key
// point to the next (the last one back to the first when the path is closed) and is a Bézier
// curve whose control points are the start, its outgoing handle if present, the end's
// incoming handle if present, and the end: a line, a quadratic or a cubic.
#pragma once

#include "util/Vector.h"

#include <vector>

struct CCurveKey {
    CVector position;
    CVector out;          // the outgoing handle (toward the next key point)
    CVector in;           // the incoming handle (from the previous key point)
    bool hasOut = false;
    bool hasIn = false;
};

class CCurve {
public:
    // Appends a key point; returns its index.
    size_t Add(const CVector& position);
    size_t Add(const CCurveKey& key);
    void Clear() { keys.clear(); }
    size_t Count() const { return keys.size(); }

    // The point at path parameter t in 0..1 (clamped): with n segments (the key count when
    // closed, one less when open), segment k = floor(n × t), kept below n, at u = n × t − k.
    // Fewer than two key points give the zero vector.
    CVector Evaluate(float t) const;
    // Segment `index` at u in 0..1 by repeated linear interpolation (de Casteljau); the zero
    // vector for a segment that does not exist.
    CVector EvaluateSegment(size_t index, float u) const;

    std::vector<CCurveKey> keys;
    bool closed = false;
};

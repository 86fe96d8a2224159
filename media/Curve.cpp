#include "media/Curve.h"

#include <cmath>

size_t CCurve::Add(const CVector& position)
{
    CCurveKey key;
    key.position = position;
    return Add(key);
}

size_t CCurve::Add(const CCurveKey& key)
{
    keys.push_back(key);
    return keys.size() - 1;
}

CVector CCurve::EvaluateSegment(size_t index, float u) const
{
    const size_t segments = keys.size() < 2 ? 0 : closed ? keys.size() : keys.size() - 1;
    if (index >= segments)
        return CVector(0, 0, 0, 0);
    const CCurveKey& from = keys[index];
    const CCurveKey& to = keys[(index + 1) % keys.size()];
    CVector points[4];
    int count = 0;
    points[count++] = from.position;
    if (from.hasOut)
        points[count++] = from.out;
    if (to.hasIn)
        points[count++] = to.in;
    points[count++] = to.position;
    for (; count > 1; --count)
        for (int i = 0; i + 1 < count; ++i)
            points[i] = points[i] + (points[i + 1] - points[i]) * u;
    return points[0];
}

CVector CCurve::Evaluate(float t) const
{
    if (keys.size() < 2)
        return CVector(0, 0, 0, 0);
    const size_t segments = closed ? keys.size() : keys.size() - 1;
    if (!(t > 0.0f))
        t = 0.0f;
    else if (t > 1.0f)
        t = 1.0f;
    const float scaled = static_cast<float>(segments) * t;
    size_t k = static_cast<size_t>(std::floor(scaled));
    if (k >= segments)
        k = segments - 1;
    return EvaluateSegment(k, scaled - static_cast<float>(k));
}

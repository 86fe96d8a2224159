// CVector: up to four float components (x, y, z, w) with a count of those in use, and an
// optional write-through target: a vector made with View() over a shape's vertex data
// writes its first `count` components back there whenever it is Set (or assigned), so
// vertex data is edited in place. Writing a field directly changes only the vector itself.
// Arithmetic results are plain vectors (no target).
#pragma once

#include <cmath>
#include <cstdint>

class CVector {
public:
    CVector() = default;
    CVector(float x_, float y_) : x(x_), y(y_), count(2) {}
    CVector(float x_, float y_, float z_) : x(x_), y(y_), z(z_), count(3) {}
    CVector(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_), count(4) {}

    // A vector over `componentCount` (1 to 4) floats at target, starting from their values.
    // The target must outlive the vector's writes.
    static CVector View(float* target, int componentCount);

    // A copy shares the target: it is another view of the same memory.
    CVector(const CVector& other) = default;
    // Takes the other's components. A view keeps its target and count and writes them
    // through; a plain vector also takes the other's count (never its target).
    CVector& operator=(const CVector& other);

    // Stores the components and writes the first `count` of them to the target, if any.
    void Set(float x_, float y_, float z_ = 0.0f, float w_ = 0.0f);
    // Writes the current components to the target (after direct field changes).
    void Flush() const;

    float* Target() const { return target; }
    int Count() const { return count; }
    // Changes the count of a plain vector (1 to 4); a view keeps the count of its target.
    void SetCount(int componentCount)
    {
        if (!target)
            count = componentCount < 1 ? 1 : componentCount > 4 ? 4 : componentCount;
    }

    CVector operator+(const CVector& o) const { return CVector(x + o.x, y + o.y, z + o.z, w + o.w); }
    CVector operator-(const CVector& o) const { return CVector(x - o.x, y - o.y, z - o.z, w - o.w); }
    CVector operator*(float s) const { return CVector(x * s, y * s, z * s, w * s); }
    CVector operator-() const { return CVector(-x, -y, -z, -w); }
    bool operator==(const CVector& o) const { return x == o.x && y == o.y && z == o.z && w == o.w; }
    bool operator!=(const CVector& o) const { return !(*this == o); }

    // Three-component operations (w ignored and 0 in results).
    float Dot3(const CVector& o) const { return x * o.x + y * o.y + z * o.z; }
    CVector Cross3(const CVector& o) const
    {
        return CVector(y * o.z - z * o.y, z * o.x - x * o.z, x * o.y - y * o.x, 0.0f);
    }
    float Length3() const { return std::sqrt(Dot3(*this)); }
    // The unit vector in the same direction; a zero vector stays zero.
    CVector Normalised3() const
    {
        float length = Length3();
        return length > 0.0f ? CVector(x / length, y / length, z / length, 0.0f) : CVector(0, 0, 0, 0);
    }

    float x = 0.0f, y = 0.0f, z = 0.0f, w = 0.0f;

private:
    float* target = nullptr;
    int count = 4;
};

// CMatrix: rows × columns floats, identity when made. Element (row, column) is value number
// row × columns + column; reads outside the matrix give 0 and writes there are ignored.
// The 4 × 4 matrices that drawing uses (a shape's transform, texture matrices) are handed to
// OpenGL as stored, so in OpenGL's terms they are column-major: entries 12, 13 and 14 hold
// the translation. Points are row vectors multiplied from the left: p' = p · M, and A * B
// applies A first, then B (in OpenGL's notation, the matrix B · A).
#pragma once

#include "util/Vector.h"

#include <cstdint>
#include <vector>

class CMatrix {
public:
    CMatrix() : CMatrix(4, 4) {}
    CMatrix(uint32_t rows, uint32_t columns);

    uint32_t Rows() const { return m_rows; }
    uint32_t Columns() const { return m_columns; }
    uint32_t Size() const { return m_rows * m_columns; }
    float* Data() { return m_values.data(); }
    const float* Data() const { return m_values.data(); }

    float Get(uint32_t row, uint32_t column) const;
    void Set(uint32_t row, uint32_t column, float value);
    float At(uint32_t index) const { return index < m_values.size() ? m_values[index] : 0.0f; }
    void SetAt(uint32_t index, float value)
    {
        if (index < m_values.size())
            m_values[index] = value;
    }

    // Back to identity, keeping the size; Resize changes the size too.
    void SetIdentity();
    void Resize(uint32_t rows, uint32_t columns);

    // The translation: entries 12, 13, 14 of a 4 × 4 matrix, entries 6 and 7 (z 0) of a
    // 3 × 3 one; zeros for any other size.
    CVector Translation() const;
    // Writes entries 12 to 14 of a 4 × 4 matrix, or 6 and 7 of a 3 × 3 one; nothing else.
    void SetTranslation(float x, float y, float z);

    // Writes the rotation by x, y and z degrees about the X, Y and Z axes into the upper
    // 3 × 3 block of a 4 × 4 matrix, from the quaternion qx · qy · qz; entries 3, 7 and 11
    // become 0 and 15 becomes 1, the translation is kept. Other sizes are left unchanged.
    void SetRotation(float x, float y, float z);

    // The point (x, y, z) transformed without translation: by a 4 × 4 matrix
    // (m0·x + m4·y + m8·z, m1·x + m5·y + m9·z, m2·x + m6·y + m10·z); by a 3 × 3 one
    // (m0·x + m3·y, m1·x + m4·y) with z kept. Any other size returns the point unchanged.
    // w and the count are kept; the result has no target.
    CVector Transform(const CVector& point) const;

    // The product in (row, column) terms; a size mismatch (columns of this ≠ rows of other)
    // gives a copy of this matrix.
    CMatrix operator*(const CMatrix& other) const;
    // The inverse of a 4 × 4 matrix; a singular matrix or any other size gives the identity
    // of the same size, and *invertible (when given) tells which happened.
    CMatrix Inverse(bool* invertible = nullptr) const;

    bool operator==(const CMatrix& other) const
    {
        return m_rows == other.m_rows && m_columns == other.m_columns && m_values == other.m_values;
    }

private:
    uint32_t m_rows;
    uint32_t m_columns;
    std::vector<float> m_values;
};

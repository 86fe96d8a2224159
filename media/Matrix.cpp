#include "media/Matrix.h"

#include <cmath>

namespace {

// Degrees become radians by this rounded factor, in single precision. It lies slightly below
// π / 180 (a full turn comes out 1.3e-6 rad short); it is kept so that rotated geometry
// matches the reference values exactly.
constexpr float kRadiansPerDegree = 0.017453289f;

struct Quaternion {
    float x, y, z, w;

    // The rotation by `degrees` about the unit axis (ax, ay, az).
    static Quaternion About(float ax, float ay, float az, float degrees)
    {
        float half = degrees * kRadiansPerDegree / 2.0f;
        float s = std::sin(half);
        return {ax * s, ay * s, az * s, std::cos(half)};
    }

    // Hamilton product this · o.
    Quaternion operator*(const Quaternion& o) const
    {
        return {w * o.x + x * o.w + y * o.z - z * o.y,
                w * o.y - x * o.z + y * o.w + z * o.x,
                w * o.z + x * o.y - y * o.x + z * o.w,
                w * o.w - x * o.x - y * o.y - z * o.z};
    }
};

} // namespace

CMatrix::CMatrix(uint32_t rows, uint32_t columns) : m_rows(rows), m_columns(columns), m_values(rows * columns)
{
    SetIdentity();
}

float CMatrix::Get(uint32_t row, uint32_t column) const
{
    return row < m_rows && column < m_columns ? m_values[row * m_columns + column] : 0.0f;
}

void CMatrix::Set(uint32_t row, uint32_t column, float value)
{
    if (row < m_rows && column < m_columns)
        m_values[row * m_columns + column] = value;
}

void CMatrix::SetIdentity()
{
    for (uint32_t r = 0; r < m_rows; ++r)
        for (uint32_t c = 0; c < m_columns; ++c)
            m_values[r * m_columns + c] = r == c ? 1.0f : 0.0f;
}

void CMatrix::Resize(uint32_t rows, uint32_t columns)
{
    m_rows = rows;
    m_columns = columns;
    m_values.assign(static_cast<size_t>(rows) * columns, 0.0f);
    SetIdentity();
}

CVector CMatrix::Translation() const
{
    if (m_rows == 4 && m_columns == 4)
        return CVector(m_values[12], m_values[13], m_values[14]);
    if (m_rows == 3 && m_columns == 3)
        return CVector(m_values[6], m_values[7], 0.0f);
    return CVector(0.0f, 0.0f, 0.0f);
}

void CMatrix::SetTranslation(float x, float y, float z)
{
    if (m_rows == 4 && m_columns == 4) {
        m_values[12] = x;
        m_values[13] = y;
        m_values[14] = z;
    } else if (m_rows == 3 && m_columns == 3) {
        m_values[6] = x;
        m_values[7] = y;
    }
}

void CMatrix::SetRotation(float ax, float ay, float az)
{
    if (m_rows != 4 || m_columns != 4)
        return;
    Quaternion q = Quaternion::About(1, 0, 0, ax) * Quaternion::About(0, 1, 0, ay) *
                   Quaternion::About(0, 0, 1, az);
    const float x = q.x, y = q.y, z = q.z, w = q.w;
    float* m = m_values.data();
    m[0] = 1 - 2 * (y * y + z * z);
    m[1] = 2 * (x * y - w * z);
    m[2] = 2 * (w * y + x * z);
    m[3] = 0;
    m[4] = 2 * (w * z + x * y);
    m[5] = 1 - 2 * (x * x + z * z);
    m[6] = 2 * (y * z - w * x);
    m[7] = 0;
    m[8] = 2 * (x * z - w * y);
    m[9] = 2 * (w * x + y * z);
    m[10] = 1 - 2 * (x * x + y * y);
    m[11] = 0;
    m[15] = 1;
}

CVector CMatrix::Transform(const CVector& p) const
{
    const float* m = m_values.data();
    CVector out(p.x, p.y, p.z, p.w);
    if (m_rows == 4 && m_columns == 4) {
        out.x = m[0] * p.x + m[4] * p.y + m[8] * p.z;
        out.y = m[1] * p.x + m[5] * p.y + m[9] * p.z;
        out.z = m[2] * p.x + m[6] * p.y + m[10] * p.z;
    } else if (m_rows == 3 && m_columns == 3) {
        out.x = m[0] * p.x + m[3] * p.y;
        out.y = m[1] * p.x + m[4] * p.y;
    }
    out.SetCount(p.Count());
    return out;
}

CMatrix CMatrix::operator*(const CMatrix& other) const
{
    if (m_columns != other.m_rows)
        return *this;
    CMatrix product(m_rows, other.m_columns);
    for (uint32_t r = 0; r < m_rows; ++r)
        for (uint32_t c = 0; c < other.m_columns; ++c) {
            float sum = 0.0f;
            for (uint32_t k = 0; k < m_columns; ++k)
                sum += m_values[r * m_columns + k] * other.m_values[k * other.m_columns + c];
            product.m_values[r * other.m_columns + c] = sum;
        }
    return product;
}

CMatrix CMatrix::Inverse(bool* invertible) const
{
    CMatrix inverse(m_rows, m_columns);
    if (invertible)
        *invertible = false;
    if (m_rows != 4 || m_columns != 4)
        return inverse;
    // Cofactor expansion, in double precision; the same formula holds whichever way the
    // values are read (the inverse of the transpose is the transpose of the inverse).
    double m[16], inv[16];
    for (int i = 0; i < 16; ++i)
        m[i] = m_values[i];
    inv[0] = m[5] * m[10] * m[15] - m[5] * m[11] * m[14] - m[9] * m[6] * m[15] + m[9] * m[7] * m[14] +
             m[13] * m[6] * m[11] - m[13] * m[7] * m[10];
    inv[4] = -m[4] * m[10] * m[15] + m[4] * m[11] * m[14] + m[8] * m[6] * m[15] - m[8] * m[7] * m[14] -
             m[12] * m[6] * m[11] + m[12] * m[7] * m[10];
    inv[8] = m[4] * m[9] * m[15] - m[4] * m[11] * m[13] - m[8] * m[5] * m[15] + m[8] * m[7] * m[13] +
             m[12] * m[5] * m[11] - m[12] * m[7] * m[9];
    inv[12] = -m[4] * m[9] * m[14] + m[4] * m[10] * m[13] + m[8] * m[5] * m[14] - m[8] * m[6] * m[13] -
              m[12] * m[5] * m[10] + m[12] * m[6] * m[9];
    inv[1] = -m[1] * m[10] * m[15] + m[1] * m[11] * m[14] + m[9] * m[2] * m[15] - m[9] * m[3] * m[14] -
             m[13] * m[2] * m[11] + m[13] * m[3] * m[10];
    inv[5] = m[0] * m[10] * m[15] - m[0] * m[11] * m[14] - m[8] * m[2] * m[15] + m[8] * m[3] * m[14] +
             m[12] * m[2] * m[11] - m[12] * m[3] * m[10];
    inv[9] = -m[0] * m[9] * m[15] + m[0] * m[11] * m[13] + m[8] * m[1] * m[15] - m[8] * m[3] * m[13] -
             m[12] * m[1] * m[11] + m[12] * m[3] * m[9];
    inv[13] = m[0] * m[9] * m[14] - m[0] * m[10] * m[13] - m[8] * m[1] * m[14] + m[8] * m[2] * m[13] +
              m[12] * m[1] * m[10] - m[12] * m[2] * m[9];
    inv[2] = m[1] * m[6] * m[15] - m[1] * m[7] * m[14] - m[5] * m[2] * m[15] + m[5] * m[3] * m[14] +
             m[13] * m[2] * m[7] - m[13] * m[3] * m[6];
    inv[6] = -m[0] * m[6] * m[15] + m[0] * m[7] * m[14] + m[4] * m[2] * m[15] - m[4] * m[3] * m[14] -
             m[12] * m[2] * m[7] + m[12] * m[3] * m[6];
    inv[10] = m[0] * m[5] * m[15] - m[0] * m[7] * m[13] - m[4] * m[1] * m[15] + m[4] * m[3] * m[13] +
              m[12] * m[1] * m[7] - m[12] * m[3] * m[5];
    inv[14] = -m[0] * m[5] * m[14] + m[0] * m[6] * m[13] + m[4] * m[1] * m[14] - m[4] * m[2] * m[13] -
              m[12] * m[1] * m[6] + m[12] * m[2] * m[5];
    inv[3] = -m[1] * m[6] * m[11] + m[1] * m[7] * m[10] + m[5] * m[2] * m[11] - m[5] * m[3] * m[10] -
             m[9] * m[2] * m[7] + m[9] * m[3] * m[6];
    inv[7] = m[0] * m[6] * m[11] - m[0] * m[7] * m[10] - m[4] * m[2] * m[11] + m[4] * m[3] * m[10] +
             m[8] * m[2] * m[7] - m[8] * m[3] * m[6];
    inv[11] = -m[0] * m[5] * m[11] + m[0] * m[7] * m[9] + m[4] * m[1] * m[11] - m[4] * m[3] * m[9] -
              m[8] * m[1] * m[7] + m[8] * m[3] * m[5];
    inv[15] = m[0] * m[5] * m[10] - m[0] * m[6] * m[9] - m[4] * m[1] * m[10] + m[4] * m[2] * m[9] +
              m[8] * m[1] * m[6] - m[8] * m[2] * m[5];
    double determinant = m[0] * inv[0] + m[1] * inv[4] + m[2] * inv[8] + m[3] * inv[12];
    if (determinant == 0.0 || !std::isfinite(determinant))
        return inverse;
    for (int i = 0; i < 16; ++i)
        inverse.m_values[i] = static_cast<float>(inv[i] / determinant);
    if (invertible)
        *invertible = true;
    return inverse;
}

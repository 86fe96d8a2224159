#include "util/Vector.h"

CVector CVector::View(float* target, int componentCount)
{
    CVector view;
    view.count = componentCount < 1 ? 1 : componentCount > 4 ? 4 : componentCount;
    view.target = target;
    if (target) {
        view.x = target[0];
        view.y = view.count > 1 ? target[1] : 0.0f;
        view.z = view.count > 2 ? target[2] : 0.0f;
        view.w = view.count > 3 ? target[3] : 0.0f;
    }
    return view;
}

CVector& CVector::operator=(const CVector& other)
{
    if (!target)
        count = other.count;
    Set(other.x, other.y, other.z, other.w);
    return *this;
}

void CVector::Set(float x_, float y_, float z_, float w_)
{
    x = x_;
    y = y_;
    z = z_;
    w = w_;
    Flush();
}

void CVector::Flush() const
{
    if (!target)
        return;
    target[0] = x;
    if (count > 1)
        target[1] = y;
    if (count > 2)
        target[2] = z;
    if (count > 3)
        target[3] = w;
}

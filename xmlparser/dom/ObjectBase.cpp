#include "kvor/dom/ObjectBase.h"

uint32_t CObjectBase::GetHashCode()
{
    // Identity: two objects are the same only when they are one object.
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(this));
}

int32_t CObjectBase::Equals(CObjectBase* other)
{
    return other == this ? 1 : 0;
}

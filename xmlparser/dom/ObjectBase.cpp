#include "ObjectBase.h"

CObjectBase::CObjectBase() : m_hash(0), m_classChain{}, m_classCount(0), m_classId(0)
{
    AppendClassId(KVOR_CLASS_OBJECT_BASE);
}

uint32_t CObjectBase::GetHashCode()
{
    // Identity: two objects are the same only when they are one object.
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(this));
}

int32_t CObjectBase::Equals(CObjectBase* other)
{
    return other == this ? 1 : 0;
}

void CObjectBase::AppendClassId(uint32_t classId)
{
    // A chain that is full still reports the most derived class.
    if (m_classCount < sizeof(m_classChain) / sizeof(m_classChain[0])) {
        m_classChain[m_classCount++] = classId;
    }
    m_classId = classId;
}

// CObjectBase: the common root of the table and string classes: a cached
// hash word and the chain of class ids its constructors appended.
#ifndef KVOR_OBJECT_BASE_H
#define KVOR_OBJECT_BASE_H

#include <cstdint>

enum : uint32_t {
    KVOR_CLASS_OBJECT_BASE = 0,
    KVOR_CLASS_KEY_VALUE_TABLE = 3,
    KVOR_CLASS_WIDE_STRING = 5
};

class CObjectBase {
public:
    CObjectBase() : m_hash(0), m_classChain{}, m_classCount(0), m_classId(0) { AppendClassId(KVOR_CLASS_OBJECT_BASE); }
    virtual ~CObjectBase() {}
    // Identity: the object's own address taken as a number.
    virtual uint32_t GetHashCode();
    // 1 when other is this very object.
    virtual int32_t Equals(CObjectBase* other);

    uint32_t GetClassId() const { return m_classId; }

protected:
    // Each constructor level appends its own id; the chain holds 8. A chain
    // that is full still reports the most derived class. Inline: every token
    // the reader takes makes an object of this root.
    void AppendClassId(uint32_t classId)
    {
        if (m_classCount < sizeof(m_classChain) / sizeof(m_classChain[0])) {
            m_classChain[m_classCount++] = classId;
        }
        m_classId = classId;
    }

    uint32_t m_hash;
    uint32_t m_classChain[8];
    uint32_t m_classCount;
    uint32_t m_classId;
};

#endif // KVOR_OBJECT_BASE_H

// CKeyValueTable: entries of key text, value text and a data word, kept in
// insertion order in an array that doubles from 64. Keys compare exactly.
// Each single call is atomic under the table's event lock; sequences (a walk
// with ResetCursor and GetNext) are not.
#ifndef KVOR_KEY_VALUE_TABLE_H
#define KVOR_KEY_VALUE_TABLE_H

#include "kvor/dom/EventLock.h"
#include "kvor/dom/ObjectBase.h"
#include "kvor/dom/Streamable.h"
#include "kvor/platform/kvorPlatform.h"

struct KeyValueEntry {
    WCHAR* key;   // owned, never null in a stored entry
    WCHAR* value; // owned, null when stored without a value
    uint32_t data;
};

class CKeyValueTable : public CObjectBase, public IStreamable, public CEventLock {
public:
    static constexpr int32_t kInitialCapacity = 64;
    static constexpr int32_t kTextCapacity = 260; // LoadFrom's key and value buffers

    CKeyValueTable();
    ~CKeyValueTable() override;

    virtual void RemoveAll();
    // Moves (class id 3) or copies then empties the source; entries taken.
    virtual int32_t TakeAll(CKeyValueTable* source);
    virtual WCHAR* AllocText(uint32_t characters);
    virtual void FreeText(WCHAR* text);

    void SaveTo(IByteStream* stream) override;
    void LoadFrom(IByteStream* stream) override;

    // Entries afterwards; 0 when growing failed. A failed key copy adds nothing.
    int32_t Add(const WCHAR* key, const WCHAR* value, uint32_t data);
    // 1 when an entry of exactly this key was replaced, else Add's result.
    int32_t Set(const WCHAR* key, const WCHAR* value, uint32_t data);
    int32_t Remove(const WCHAR* key);
    // The caller holds the lock.
    int32_t RemoveAt(int32_t index);
    int32_t GetAt(int32_t index, const WCHAR** key, const WCHAR** value, uint32_t* data);
    int32_t GetCount() const { return m_count; }
    // False when the entry array could not be allocated: every call is then a no-op.
    bool HasStorage() const { return m_entries != nullptr; }
    void ResetCursor() { m_cursor = 0; }
    int32_t GetNext(const WCHAR** key, const WCHAR** value, uint32_t* data);
    int32_t MoveAllFrom(CKeyValueTable* source);

private:
    WCHAR* CopyText(const WCHAR* text);
    void FreeEntry(KeyValueEntry& entry);
    int32_t FindExact(const WCHAR* key) const;
    bool Grow(int32_t capacity);

    KeyValueEntry* m_entries;
    int32_t m_capacity;
    int32_t m_count;
    int32_t m_cursor;
    CEventLock m_lock;
};

#endif // KVOR_KEY_VALUE_TABLE_H

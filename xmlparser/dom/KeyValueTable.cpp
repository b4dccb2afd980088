#include "kvor/dom/KeyValueTable.h"

#include <cstring>

CKeyValueTable::CKeyValueTable()
    : m_entries(nullptr), m_capacity(kInitialCapacity), m_count(0), m_cursor(0)
{
    AppendClassId(KVOR_CLASS_KEY_VALUE_TABLE);
    m_entries = kvor::AllocateArray<KeyValueEntry>(kInitialCapacity);
}

CKeyValueTable::~CKeyValueTable()
{
    CKeyValueTable::RemoveAll();
    kvor::Release(m_entries);
}

WCHAR* CKeyValueTable::AllocText(uint32_t characters)
{
    // Counts a 32-bit signed size cannot hold ask for everything, which the
    // allocator refuses.
    if (characters > 0x7FFFFFFFu) {
        return kvor::AllocateArray<WCHAR>(SIZE_MAX);
    }
    return kvor::AllocateArray<WCHAR>(characters);
}

void CKeyValueTable::FreeText(WCHAR* text)
{
    kvor::Release(text);
}

WCHAR* CKeyValueTable::CopyText(const WCHAR* text)
{
    const size_t length = kvor::wcslen(text);
    if (length >= 0x7FFFFFFFu) {
        return nullptr;
    }
    WCHAR* copy = AllocText(static_cast<uint32_t>(length + 1));
    if (copy != nullptr) {
        std::memcpy(copy, text, (length + 1) * sizeof(WCHAR));
    }
    return copy;
}

void CKeyValueTable::FreeEntry(KeyValueEntry& entry)
{
    FreeText(entry.key);
    if (entry.value != nullptr) {
        FreeText(entry.value);
    }
}

int32_t CKeyValueTable::FindExact(const WCHAR* key) const
{
    if (key == nullptr) {
        return -1;
    }
    for (int32_t index = 0; index < m_count; ++index) {
        if (kvor::wcscmp(m_entries[index].key, key) == 0) {
            return index;
        }
    }
    return -1;
}

bool CKeyValueTable::Grow(int32_t capacity)
{
    KeyValueEntry* entries = kvor::AllocateArray<KeyValueEntry>(static_cast<size_t>(capacity));
    if (entries == nullptr) {
        return false;
    }
    if (m_count > 0) {
        std::memcpy(entries, m_entries, static_cast<size_t>(m_count) * sizeof(KeyValueEntry));
    }
    kvor::Release(m_entries);
    m_entries = entries;
    m_capacity = capacity;
    return true;
}

int32_t CKeyValueTable::Add(const WCHAR* key, const WCHAR* value, uint32_t data)
{
    if (m_entries == nullptr) {
        return 0;
    }
    // A stored entry always has a key.
    if (key == nullptr) {
        return m_count;
    }
    m_lock.Lock();
    if (m_count >= m_capacity) {
        const bool grown = m_capacity <= INT32_MAX / 2 && Grow(m_capacity * 2);
        if (!grown) {
            m_lock.Unlock();
            return 0;
        }
    }
    // Without a copy of the key nothing is added.
    WCHAR* keyCopy = CopyText(key);
    if (keyCopy == nullptr) {
        const int32_t count = m_count;
        m_lock.Unlock();
        return count;
    }
    KeyValueEntry& entry = m_entries[m_count];
    entry.key = keyCopy;
    entry.value = value != nullptr ? CopyText(value) : nullptr;
    entry.data = data;
    const int32_t count = ++m_count;
    m_lock.Unlock();
    return count;
}

int32_t CKeyValueTable::Set(const WCHAR* key, const WCHAR* value, uint32_t data)
{
    if (m_entries == nullptr) {
        return 0;
    }
    m_lock.Lock();
    const int32_t index = FindExact(key);
    if (index < 0) {
        // The lock is not re-entrant: Add takes it afresh.
        m_lock.Unlock();
        return Add(key, value, data);
    }
    KeyValueEntry& entry = m_entries[index];
    if (value == nullptr) {
        FreeText(entry.value);
        entry.value = nullptr;
    } else {
        // Without memory for the new text the old one stays.
        WCHAR* copy = CopyText(value);
        if (copy != nullptr) {
            FreeText(entry.value);
            entry.value = copy;
        }
    }
    entry.data = data;
    m_lock.Unlock();
    return 1;
}

int32_t CKeyValueTable::Remove(const WCHAR* key)
{
    if (m_entries == nullptr) {
        return 0;
    }
    m_lock.Lock();
    const int32_t index = FindExact(key);
    const int32_t removed = index >= 0 ? RemoveAt(index) : 0;
    m_lock.Unlock();
    return removed;
}

int32_t CKeyValueTable::RemoveAt(int32_t index)
{
    if (m_entries == nullptr || index < 0 || index >= m_count) {
        return 0;
    }
    FreeEntry(m_entries[index]);
    const int32_t later = m_count - index - 1;
    if (later > 0) {
        std::memmove(&m_entries[index], &m_entries[index + 1],
                     static_cast<size_t>(later) * sizeof(KeyValueEntry));
    }
    --m_count;
    return 1;
}

void CKeyValueTable::RemoveAll()
{
    if (m_entries == nullptr) {
        return;
    }
    m_lock.Lock();
    for (int32_t index = 0; index < m_count; ++index) {
        kvor::WillRelease(m_entries[index].key);
        kvor::WillRelease(m_entries[index].value);
    }
    for (int32_t index = 0; index < m_count; ++index) {
        FreeEntry(m_entries[index]);
    }
    m_count = 0;
    m_lock.Unlock();
}

int32_t CKeyValueTable::GetAt(int32_t index, const WCHAR** key, const WCHAR** value, uint32_t* data)
{
    if (m_entries == nullptr) {
        return 0;
    }
    m_lock.Lock();
    const bool inRange = index >= 0 && index < m_count;
    if (inRange) {
        const KeyValueEntry& entry = m_entries[index];
        if (key != nullptr) {
            *key = entry.key;
        }
        if (value != nullptr) {
            *value = entry.value;
        }
        if (data != nullptr) {
            *data = entry.data;
        }
    }
    m_lock.Unlock();
    return inRange ? 1 : 0;
}

int32_t CKeyValueTable::GetNext(const WCHAR** key, const WCHAR** value, uint32_t* data)
{
    if (m_cursor >= m_count) {
        return 0;
    }
    const int32_t found = GetAt(m_cursor, key, value, data);
    ++m_cursor;
    return found;
}

int32_t CKeyValueTable::TakeAll(CKeyValueTable* source)
{
    if (m_entries == nullptr || source == nullptr || source == this || source->m_entries == nullptr) {
        return 0;
    }
    if (source->GetClassId() == KVOR_CLASS_KEY_VALUE_TABLE) {
        return MoveAllFrom(source);
    }
    // Another class may allocate its texts differently: copy them, and let
    // the source free its own.
    const int32_t taken = source->m_count;
    const WCHAR* key = nullptr;
    const WCHAR* value = nullptr;
    uint32_t data = 0;
    source->ResetCursor();
    while (source->GetNext(&key, &value, &data) != 0) {
        Add(key, value, data);
    }
    source->RemoveAll();
    return taken;
}

int32_t CKeyValueTable::MoveAllFrom(CKeyValueTable* source)
{
    if (m_entries == nullptr || source == nullptr || source == this || source->m_entries == nullptr) {
        return 0;
    }
    m_lock.Lock();
    const int32_t moved = source->m_count;
    if (moved > 0 && m_count + moved >= m_capacity) {
        const bool grown = m_capacity <= INT32_MAX - moved && Grow(m_capacity + moved);
        if (!grown) {
            m_lock.Unlock();
            return 0;
        }
    }
    if (moved > 0) {
        // The texts change owner as they are.
        std::memcpy(&m_entries[m_count], source->m_entries,
                    static_cast<size_t>(moved) * sizeof(KeyValueEntry));
    }
    m_count += moved;
    source->m_count = 0;
    m_lock.Unlock();
    return moved;
}

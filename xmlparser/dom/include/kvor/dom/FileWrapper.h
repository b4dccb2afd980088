// CFileWrapper: one platform file handle, closed or open; moves bytes
// straight between the caller's memory and the file.
#ifndef KVOR_FILE_WRAPPER_H
#define KVOR_FILE_WRAPPER_H

#include "kvor/platform/kvorPlatform.h"

class CFileWrapper {
public:
    CFileWrapper() : m_handle(nullptr) {}
    virtual ~CFileWrapper() { Close(); }
    CFileWrapper(const CFileWrapper&) = delete;
    CFileWrapper& operator=(const CFileWrapper&) = delete;

    // 1 opened; 0 already open, null path, or the system refused.
    uint32_t Open(const WCHAR* path, DWORD disposition, DWORD access, DWORD share, DWORD flags);
    uint32_t ReadBlock(void* destination, uint32_t bytes);
    uint32_t WriteBlock(const void* source, uint32_t bytes);
    uint32_t WriteByteOrderMark();
    // The text, then CR LF, as one write; 0 when the line cannot be built.
    uint32_t WriteLine(const WCHAR* text);
    uint32_t GetSize();
    uint32_t Close();

private:
    HANDLE m_handle;
};

#endif // KVOR_FILE_WRAPPER_H

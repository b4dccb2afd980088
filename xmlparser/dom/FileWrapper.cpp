#include "kvor/dom/FileWrapper.h"

#include <cstring>

uint32_t CFileWrapper::Open(const WCHAR* path, DWORD disposition, DWORD access, DWORD share, DWORD flags)
{
    if (m_handle != nullptr || path == nullptr) {
        return 0;
    }
    HANDLE handle = CreateFileW(path, access, share, nullptr, disposition, flags, nullptr);
    // Closed is always a null handle, whatever the system answers on failure.
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr) {
        return 0;
    }
    m_handle = handle;
    return 1;
}

uint32_t CFileWrapper::ReadBlock(void* destination, uint32_t bytes)
{
    if (m_handle == nullptr || destination == nullptr) {
        return 0;
    }
    DWORD read = 0;
    return ReadFile(m_handle, destination, bytes, &read, nullptr) ? read : 0;
}

uint32_t CFileWrapper::WriteBlock(const void* source, uint32_t bytes)
{
    if (m_handle == nullptr || source == nullptr) {
        return 0;
    }
    DWORD written = 0;
    return WriteFile(m_handle, source, bytes, &written, nullptr) ? written : 0;
}

uint32_t CFileWrapper::WriteByteOrderMark()
{
    static const uint8_t kMark[2] = {0xFF, 0xFE};
    return WriteBlock(kMark, sizeof(kMark));
}

uint32_t CFileWrapper::WriteLine(const WCHAR* text)
{
    const size_t length = text != nullptr ? kvor::wcslen(text) : 0;
    if (length > UINT32_MAX / sizeof(WCHAR) - 2) {
        return 0;
    }
    // Text and line end go out in one write, without a terminator.
    const size_t characters = length + 2;
    WCHAR* line = kvor::AllocateArray<WCHAR>(characters);
    if (line == nullptr) {
        return 0;
    }
    if (length > 0) {
        std::memcpy(line, text, length * sizeof(WCHAR));
    }
    line[length] = 0x000D;
    line[length + 1] = 0x000A;
    const uint32_t written = WriteBlock(line, static_cast<uint32_t>(characters * sizeof(WCHAR)));
    kvor::Release(line);
    return written;
}

uint32_t CFileWrapper::GetSize()
{
    return m_handle != nullptr ? GetFileSize(m_handle, nullptr) : 0;
}

uint32_t CFileWrapper::Close()
{
    if (m_handle == nullptr) {
        return 0;
    }
    CloseHandle(m_handle);
    m_handle = nullptr;
    return 1;
}

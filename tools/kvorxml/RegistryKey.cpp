#include "RegistryKey.h"

#include "TextCodec.h"

namespace kvorxml {

LSTATUS RegistryKey::Open(const std::string& subKey)
{
    Close();
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, FromUtf8(subKey).c_str(), 0, 0, &m_key);
}

LSTATUS RegistryKey::Create(const std::string& subKey, bool* created)
{
    Close();
    DWORD disposition = 0;
    const LSTATUS status =
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, FromUtf8(subKey).c_str(), 0, nullptr, 0, 0, nullptr, &m_key, &disposition);
    *created = status == ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY;
    return status;
}

void RegistryKey::Close()
{
    if (m_key != nullptr) {
        RegCloseKey(m_key);
        m_key = nullptr;
    }
}

LSTATUS RegistryKey::SetDword(const WCHAR* name, DWORD value)
{
    return RegSetValueExW(m_key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

LSTATUS RegistryKey::SetString(const WCHAR* name, const WCHAR* text)
{
    const DWORD bytes = static_cast<DWORD>((kvor::wcslen(text) + 1) * sizeof(WCHAR));
    return RegSetValueExW(m_key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes);
}

} // namespace kvorxml

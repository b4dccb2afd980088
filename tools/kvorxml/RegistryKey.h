// One open key of the registry store under HKEY_LOCAL_MACHINE, closed when
// it goes.
#ifndef KVORXML_REGISTRY_KEY_H
#define KVORXML_REGISTRY_KEY_H

#include <string>

#include "kvor/platform/kvorPlatform.h"

namespace kvorxml {

class RegistryKey {
public:
    RegistryKey() = default;
    ~RegistryKey() { Close(); }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    LSTATUS Open(const std::string& subKey);
    // created: whether the key is new.
    LSTATUS Create(const std::string& subKey, bool* created);
    // A new key is held for its creator until it is closed.
    void Close();

    LSTATUS SetDword(const WCHAR* name, DWORD value);
    LSTATUS SetString(const WCHAR* name, const WCHAR* text);
    HKEY Get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

} // namespace kvorxml

#endif // KVORXML_REGISTRY_KEY_H

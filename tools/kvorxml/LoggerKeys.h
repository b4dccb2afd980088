// The logger's part of the registry store as the logger lays it out (its
// own table of keys and defaults): what it writes into a key it creates,
// and which values it reads as numbers only. Key paths are below
// HKEY_LOCAL_MACHINE; names match ignoring ASCII case, as in the store.
#ifndef KVORXML_LOGGER_KEYS_H
#define KVORXML_LOGGER_KEYS_H

#include <string>

#include "RegistryKey.h"

namespace kvorxml {

// Whether the logger reads valueName in subKey (its own key, an
// executable's key or a zone's key below it) as a REG_DWORD only.
bool LoggerReadsAsNumber(const std::string& subKey, const std::string& valueName);

// Into key, just created as subKey, what the logger itself writes into such
// a key: the logger's key gets its defaults and its Zone key, a zone's key
// its OutputEnable. Other keys get nothing.
LSTATUS WriteLoggerDefaults(const std::string& subKey, RegistryKey& key);

} // namespace kvorxml

#endif // KVORXML_LOGGER_KEYS_H

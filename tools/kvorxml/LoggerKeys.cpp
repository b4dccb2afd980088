#include "LoggerKeys.h"

#include "TextCodec.h"
#include "kvor/deblog/DebLogRegistry.h"

namespace kvorxml {
namespace {

bool SameName(const WString& left, const WCHAR* right) { return kvor::_wcsicmp(left.c_str(), right) == 0; }

// Whether path is below key: "key\..." with at least one more name.
bool IsBelow(const WString& path, const WCHAR* key)
{
    const size_t length = kvor::wcslen(key);
    return path.size() > length + 1 && path[length] == '\\' && SameName(path.substr(0, length), key);
}

// A zone's key: one name directly below the Zone key.
bool IsZoneKey(const WString& path)
{
    return IsBelow(path, kDebLogZoneKey) && path.find('\\', kvor::wcslen(kDebLogZoneKey) + 1) == WString::npos;
}

} // namespace

bool LoggerReadsAsNumber(const std::string& subKey, const std::string& valueName)
{
    const WString path = FromUtf8(subKey);
    if (!SameName(path, kDebLogKey) && !IsBelow(path, kDebLogKey)) {
        return false;
    }
    const WString name = FromUtf8(valueName);
    for (const DebLogDword& value : kDebLogGlobalDefaults) {
        if (SameName(name, value.name)) {
            return true;
        }
    }
    return SameName(name, kDebLogZoneDefault.name);
}

LSTATUS WriteLoggerDefaults(const std::string& subKey, RegistryKey& key)
{
    const WString path = FromUtf8(subKey);
    if (IsZoneKey(path)) {
        return key.SetDword(kDebLogZoneDefault.name, kDebLogZoneDefault.value);
    }
    if (!SameName(path, kDebLogKey)) {
        return ERROR_SUCCESS;
    }
    for (const DebLogDword& value : kDebLogGlobalDefaults) {
        const LSTATUS status = key.SetDword(value.name, value.value);
        if (status != ERROR_SUCCESS) {
            return status;
        }
    }
    key.Close(); // the Zone key is created below it once it is complete
    RegistryKey zones;
    bool created = false;
    return zones.Create(ToUtf8(kDebLogZoneKey), &created);
}

} // namespace kvorxml

// Where the logger keeps its settings (keys under HKEY_LOCAL_MACHINE) and
// what it writes into a key it creates. The logger reads each of these
// values as a REG_DWORD only; the tools that edit the store take the same
// names and defaults from here.
#ifndef KVOR_DEB_LOG_REGISTRY_H
#define KVOR_DEB_LOG_REGISTRY_H

#include "kvor/platform/kvorPlatform.h"

struct DebLogDword {
    const WCHAR* name;
    uint32_t value;
};

// SOFTWARE\KVOR\DebLogger, and its subkey Zone that holds one key per zone.
extern const WCHAR kDebLogKey[];
extern const WCHAR kDebLogZoneKey[];

// Written, in this order, into a new logger key: OutputType, Severity,
// FileMode, TimeFormat.
const size_t kDebLogGlobalDefaultCount = 4;
extern const DebLogDword kDebLogGlobalDefaults[kDebLogGlobalDefaultCount];
// Written into a new zone key: OutputEnable. A zone's Severity has no default.
extern const DebLogDword kDebLogZoneDefault;

#endif // KVOR_DEB_LOG_REGISTRY_H

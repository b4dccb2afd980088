// Pieces the posix back end's files share: text and path conversion, the
// Win32 error for an errno, and the objects behind a HANDLE.
#ifndef KVOR_POSIX_SUPPORT_H
#define KVOR_POSIX_SUPPORT_H

#include <string>

#include "kvor/platform/PosixText.h"
#include "kvor/platform/kvorPlatform.h"

namespace kvor {
namespace posix {

// mkdir -p; what already exists is left as it is.
void MakeFolders(const std::string& path);

// A device path as a Linux path: backslashes are separators, and a path
// that begins with one lies under the device root (KVOR_DEVICE_ROOT, else
// $XDG_STATE_HOME/kvor, else ~/.local/state/kvor).
std::string NativePath(const WCHAR* path);
std::string DeviceRoot();

// The Win32 error code that stands for an errno value.
DWORD Win32ErrorFromErrno(int error);
// The errno value a Win32 error code stands for; 0 when none does.
int ErrnoFromWin32Error(DWORD code);

// What a HANDLE points to; CloseHandle deletes it through this base.
class KernelObject : public kvor::HeapObject {
public:
    virtual ~KernelObject() {}
};

} // namespace posix
} // namespace kvor

#endif // KVOR_POSIX_SUPPORT_H

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
    enum class Kind { File, Event };

    explicit KernelObject(Kind kind) : m_kind(kind) {}
    virtual ~KernelObject() {}

    // The object behind handle when it is of this kind, else null. A tag
    // test rather than dynamic_cast: every attribute table takes and
    // releases its event on each call.
    template <typename T>
    static T* FromHandle(HANDLE handle)
    {
        if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
            return nullptr;
        }
        KernelObject* object = static_cast<KernelObject*>(handle);
        return object->m_kind == T::kKind ? static_cast<T*>(object) : nullptr;
    }

private:
    const Kind m_kind;
};

} // namespace posix
} // namespace kvor

#endif // KVOR_POSIX_SUPPORT_H

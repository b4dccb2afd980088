// The one header through which the library reaches the system: the Win32
// subset of the target (kvorWin32Api.h, from the back end's include folder),
// the device kernel's calls, and the wide C-library functions with their
// Windows meaning for 16-bit text on every target.
#ifndef KVOR_PLATFORM_H
#define KVOR_PLATFORM_H

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>
#include <utility>

#include "kvor/platform/kvorWin32Api.h"

// ---- Device kernel calls -------------------------------------------------

#define EVENT_SET 3u

// Sets an event (SetEvent); EVENT_SET is the one action the library takes.
BOOL EventModify(HANDLE event, DWORD action);

// Formats with the library's wide printf and writes the line to the kernel
// debugger output (posix: KVOR_DEBUG_OUTPUT; Windows: OutputDebugStringW).
void NKDbgPrintfW(LPCWSTR format, ...);

#define STRSAFE_E_INSUFFICIENT_BUFFER ((HRESULT)0x8007007AL)
#define S_OK ((HRESULT)0)

// Bounded copy and append into a target of size > 0 characters (for the
// append, already terminated within them): cut to size - 1 characters,
// always terminated. S_OK, or STRSAFE_E_INSUFFICIENT_BUFFER when cut.
HRESULT StringCchCopyW(LPWSTR target, size_t size, LPCWSTR source);
HRESULT StringCchCatW(LPWSTR target, size_t size, LPCWSTR source);

namespace kvor {

// ---- Wide C-library functions, Windows meaning, 16-bit text ----------------

// The class mask of white space for iswctype.
constexpr int SpaceClass = 0x8;

size_t wcslen(const WCHAR* text);
int wcscmp(const WCHAR* left, const WCHAR* right);
// Compares folding ASCII letters only, as the "C" locale does.
int _wcsicmp(const WCHAR* left, const WCHAR* right);
// Splits at any character of delimiters; runs of them count as one and
// leading ones are skipped. *context keeps the place between calls.
WCHAR* wcstok(WCHAR* text, const WCHAR* delimiters, WCHAR** context);
// Optional white space, optional sign, decimal digits; clamped to 32 bits.
// text is not null.
long _wtol(const WCHAR* text);
// value in radix 2 to 36 into buffer (room for 33 characters), with a sign
// only in decimal; another radix gives the empty text.
WCHAR* _itow(int value, WCHAR* buffer, int radix);
// mask SpaceClass: the White_Space class of the target.
int iswctype(WCHAR character, int mask);

// The wide printf of every target: %s takes a WCHAR string; flags "-" and
// "0", width, ".precision" and the conversions d i u x X c s % are
// understood. Writes at most count - 1 characters and always terminates
// (count > 0); returns the length the whole text would have.
int _vsnwprintf(WCHAR* buffer, size_t count, const WCHAR* format, va_list arguments);
int swprintf(WCHAR* buffer, size_t count, const WCHAR* format, ...);

// ---- Memory --------------------------------------------------------------

// Every heap block of the library comes from Allocate and goes back through
// Release (or delete, for objects made with New). Small blocks come from a
// pool of chunks, larger ones from the system heap. A null result means the
// allocator refused; an allocator may instead throw std::bad_alloc, which
// only the parser factory expects.
void* Allocate(size_t bytes);
void Release(void* block) noexcept;

// A hint that block (may be null) is released soon: the heap's bookkeeping
// in front of it is fetched meanwhile, so that a run of releases - a tree's
// - does not wait on each block's memory in turn.
inline void WillRelease(const void* block) noexcept
{
    if (block != nullptr) {
        __builtin_prefetch(static_cast<const char*>(block) - 1, 1);
    }
}

// count elements of T, or null when refused or when the size overflows.
template <typename T>
T* AllocateArray(size_t count)
{
    if (count > SIZE_MAX / sizeof(T)) {
        return nullptr;
    }
    return static_cast<T*>(Allocate(count * sizeof(T)));
}

// Gives the heap's empty chunks, and the large block it keeps for the next
// load, back to the system; the library's loader glue calls it when the
// library is unloaded.
void ReleaseSpareMemory() noexcept;

class HeapObject;

// A T constructed in memory from Allocate; null when refused. Destroy it
// with delete (through a virtual destructor where it has one).
template <typename T, typename... Args>
T* New(Args&&... arguments)
{
    static_assert(std::is_base_of<HeapObject, T>::value, "delete of a T must reach Release");
    void* memory = Allocate(sizeof(T));
    return memory == nullptr ? nullptr : ::new (memory) T(std::forward<Args>(arguments)...);
}

// Base of the classes whose objects live on the library's heap and die by
// delete, usually through a virtual destructor: new and delete of them go
// through Allocate and Release. Objects of these classes must be made by
// new (or New), never by the global operator new.
class HeapObject {
public:
    static void* operator new(size_t bytes); // std::bad_alloc when refused
    static void* operator new(size_t bytes, const std::nothrow_t&) noexcept { return Allocate(bytes); }
    static void* operator new(size_t, void* place) noexcept { return place; }
    static void operator delete(void* block) noexcept { Release(block); }
    static void operator delete(void* block, const std::nothrow_t&) noexcept { Release(block); }
    static void operator delete(void*, void*) noexcept {}
};

namespace testing {
// Replaces the allocator behind Allocate (null restores the pool). A
// replacement either refuses (null, or std::bad_alloc) or forwards to
// ::operator new(bytes, std::nothrow), so that Release and delete match.
// While one is installed, every block comes from it, none from the pool;
// blocks from either are released alike whenever that happens.
typedef void* (*AllocationHook)(size_t bytes);
void SetAllocationHook(AllocationHook hook);

// What the heap holds now: blocks handed out and not yet released, and the
// blocks it took from the system for itself (chunks, the kept large block).
struct HeapCount {
    size_t blocks;
    size_t chunks;
};
HeapCount CountHeap();
} // namespace testing

} // namespace kvor

#endif // KVOR_PLATFORM_H

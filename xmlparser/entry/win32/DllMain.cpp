// The loader's side on Windows. The logger pointer is set while the C
// run-time constructs the DLL's static objects, which it does before it
// calls DllMain; DllMain then runs the attach hook. When the library is
// unloaded the heap's empty chunks go back to the system: registered before
// the logger exists, the release runs after the logger's teardown has given
// back its blocks.
#include <cstdlib>

#include "kvor/deblog/DebLog.h"
#include "kvor/parser/LibraryEntry.h"

static_assert(KVOR_PROCESS_ATTACH == DLL_PROCESS_ATTACH && KVOR_PROCESS_DETACH == DLL_PROCESS_DETACH &&
                  KVOR_THREAD_ATTACH == DLL_THREAD_ATTACH && KVOR_THREAD_DETACH == DLL_THREAD_DETACH,
              "the attach hook's reasons are the loader's");

namespace {

void ReleaseSpareMemoryAtUnload()
{
    kvor::ReleaseSpareMemory();
}

__attribute__((constructor(101))) void StartLogger()
{
    std::atexit(ReleaseSpareMemoryAtUnload);
    DebLogStartup();
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved)
{
    return KvorLibraryMain(module, reason, reserved);
}

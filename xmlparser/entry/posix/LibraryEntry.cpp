// The loader's side on Linux: the logger is created during static
// initialisation, and the attach hook runs after it. Constructor priorities
// order the two within this library. On unload the heap's empty chunks go
// back to the system, so that loading and unloading the library again and
// again does not leave them behind: registered before the logger exists, the
// release runs after the logger's teardown has given back its blocks.
#include <cstdlib>

#include "kvor/deblog/DebLog.h"
#include "kvor/parser/LibraryEntry.h"

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

__attribute__((constructor(102))) void AttachToProcess()
{
    KvorLibraryMain(nullptr, KVOR_PROCESS_ATTACH, nullptr);
}

} // namespace

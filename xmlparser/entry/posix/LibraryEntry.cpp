// The loader's side on Linux: the logger is created during static
// initialisation, and the attach hook runs after it. Constructor priorities
// order the two within this library. On unload the heap's empty chunks go
// back to the system, so that loading and unloading the library again and
// again does not leave them behind.
#include "kvor/deblog/DebLog.h"
#include "kvor/parser/LibraryEntry.h"

namespace {

__attribute__((constructor(101))) void StartLogger()
{
    DebLogStartup();
}

__attribute__((constructor(102))) void AttachToProcess()
{
    KvorLibraryMain(nullptr, KVOR_PROCESS_ATTACH, nullptr);
}

__attribute__((destructor)) void DetachFromProcess()
{
    kvor::ReleaseSpareMemory();
}

} // namespace

// The loader's side on Linux: during static initialisation one constructor
// starts the logger and then runs the attach hook. On unload the heap's
// empty chunks go back to the system, so that loading and unloading the
// library again and again does not leave them behind: registered before the
// logger exists, the release runs after the logger's teardown has given back
// its blocks.
#include <cstdlib>

#include "kvor/parser/LibraryEntry.h"

namespace {

void ReleaseSpareMemoryAtUnload()
{
    kvor::ReleaseSpareMemory();
}

__attribute__((constructor(101))) void AttachToProcess()
{
    std::atexit(ReleaseSpareMemoryAtUnload);
    KvorLibraryStartup();
}

} // namespace

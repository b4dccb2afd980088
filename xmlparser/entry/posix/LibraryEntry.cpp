// The loader's side on Linux: during static initialisation one constructor
// starts the logger and then runs the attach hook. On unload the heap's
// empty chunks go back to the system, so that loading and unloading the
// library again and again does not leave them behind.
#include "kvor/parser/LibraryEntry.h"

namespace {

__attribute__((constructor(101))) void AttachToProcess()
{
    KvorLibraryStartup();
}

__attribute__((destructor)) void DetachFromProcess()
{
    kvor::ReleaseSpareMemory();
}

} // namespace

// What the system loader's glue (entry/<target>) calls, in order:
// DebLogStartup during static initialisation, then KvorLibraryMain with
// the process-attach reason.
#ifndef KVOR_LIBRARY_ENTRY_H
#define KVOR_LIBRARY_ENTRY_H

#include "kvor/platform/kvorPlatform.h"

const DWORD KVOR_PROCESS_DETACH = 0;
const DWORD KVOR_PROCESS_ATTACH = 1;
const DWORD KVOR_THREAD_ATTACH = 2;
const DWORD KVOR_THREAD_DETACH = 3;

// The process-attach hook: registers the parser's logging zone on attach.
// Returns TRUE for every reason.
BOOL KvorLibraryMain(HMODULE module, DWORD reason, LPVOID reserved);

#endif // KVOR_LIBRARY_ENTRY_H

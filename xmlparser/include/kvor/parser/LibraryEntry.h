// What the system loader's glue (entry/<target>) calls, in order:
// DebLogStartup during static initialisation, then KvorLibraryMain with
// the process-attach reason. A program that links the library's code
// itself has no such glue and calls KvorLibraryStartup instead.
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

// Starts the logger, then runs the attach hook: the loader's sequence, run
// once before anything else of the library.
void KvorLibraryStartup();

#endif // KVOR_LIBRARY_ENTRY_H

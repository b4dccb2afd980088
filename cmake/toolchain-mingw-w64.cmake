# Windows x86-64 with Debian's mingw-w64 (the posix thread model, so that
# std::thread and std::mutex exist for the tests). The tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KVOR_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KVOR_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KVOR_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KVOR_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KVOR_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# The compiler's run-time libraries go into each program and the DLL, so
# nothing but the system's own DLLs has to be found at run time.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

# Programs and the DLL side by side: the loader finds the DLL next to the
# program that loads it.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin CACHE PATH "")

find_program(KVOR_WINE NAMES wine64 wine PATHS /usr/lib/wine /usr/lib64/wine NO_CMAKE_FIND_ROOT_PATH)
if(KVOR_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KVOR_WINE})
endif()

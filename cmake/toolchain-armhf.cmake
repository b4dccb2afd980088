# 32-bit ARM (hard float) with Debian's cross compiler; the tests run under
# qemu-arm user emulation with the target's libraries as its root.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)

set(KVOR_ARM_PREFIX arm-linux-gnueabihf)
set(CMAKE_C_COMPILER ${KVOR_ARM_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${KVOR_ARM_PREFIX}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${KVOR_ARM_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm -L /usr/${KVOR_ARM_PREFIX})

# 64-bit file offsets and inode numbers, as on the 64-bit hosts the files
# often live on: without them readdir and stat fail with EOVERFLOW there.
set(CMAKE_C_FLAGS_INIT "-D_FILE_OFFSET_BITS=64")
set(CMAKE_CXX_FLAGS_INIT "-D_FILE_OFFSET_BITS=64")

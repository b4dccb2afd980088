#!/usr/bin/env bash
# Builds kvorXMLParser for the two targets that stand in for the device and
# runs the whole test suite on each:
#   win64   mingw-w64 build over the real Win32 calls, tests under Wine (build-win64/)
#   armhf   32-bit ARM build, tests under qemu-arm user emulation (build-armhf/)
# usage: tools/cross-test.sh [win64] [armhf]      (both when none is named)
# Missing Debian packages are installed when run as root.
set -euo pipefail
cd "$(dirname "$0")/.."

JOBS=$(nproc 2>/dev/null || echo 2)
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

source tools/build-common.sh

# build_and_test FOLDER TOOLCHAIN
build_and_test() {
    local folder=$1 toolchain=$2
    cmake -S . -B "$folder" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/$toolchain" -DKVOR_BUILD_TOOLS=OFF >/dev/null
    cmake --build "$folder" -j "$JOBS"
    run_ctest "$folder"
}

# A fresh Wine prefix for the run: its registry holds the device's
# HKLM\SOFTWARE\KVOR key, which the logger needs to start.
start_wine() {
    export WINEPREFIX="$PWD/build-win64/wine-prefix"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export WINEARCH=win64
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    # One server for the whole run rather than one per test program.
    "$WINESERVER" -p
    "$WINE" wineboot --init >/dev/null 2>&1
    "$WINE" reg add 'HKLM\SOFTWARE\KVOR' /f >/dev/null
}

stop_wine() {
    "$WINESERVER" -k >/dev/null 2>&1 || true
}

run_win64() {
    ensure_packages g++-mingw-w64-x86-64 wine64
    start_wine
    trap stop_wine EXIT
    build_and_test build-win64 toolchain-mingw-w64.cmake
    stop_wine
    trap - EXIT
}

run_armhf() {
    ensure_packages g++-arm-linux-gnueabihf qemu-user
    build_and_test build-armhf toolchain-armhf.cmake
}

targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(win64 armhf)
for target in "${targets[@]}"; do
    case "$target" in
    win64) run_win64 ;;
    armhf) run_armhf ;;
    *)
        echo "usage: tools/cross-test.sh [win64] [armhf]" >&2
        exit 2
        ;;
    esac
done

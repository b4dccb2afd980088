#!/usr/bin/env bash
# Builds kvorXMLParser and runs it.
#   ./build.sh run    build, then run the command-line client on the shipped example
#   ./build.sh test   build everything and run every test (also under AddressSanitizer
#                     and UndefinedBehaviorSanitizer, on 32-bit ARM under qemu-arm and
#                     on Windows under Wine; KVOR_CROSS names the cross targets, "none" neither)
# Missing Debian packages are installed when run as root.
set -euo pipefail
cd "$(dirname "$0")"

JOBS=$(nproc 2>/dev/null || echo 2)
PACKAGES=(cmake g++ make libgtest-dev googletest pkg-config)
# The test command also fuzzes (clang's libFuzzer) and checks the client for leaks.
TEST_PACKAGES=(clang libclang-rt-14-dev valgrind)

source tools/build-common.sh

# configure_and_build FOLDER [cmake options...]
configure_and_build() {
    local folder=$1
    shift
    cmake -S . -B "$folder" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$folder" -j "$JOBS"
}

# The command-line client over every example document under valgrind:
# any leak or memory error fails the run.
check_client_leaks() {
    local client=build/tools/kvorxml/kvorxml
    if [ ! -x "$client" ]; then
        echo "build.sh: $client not built; skipping the leak check of the client" >&2
        return 0
    fi
    local state
    state=$(mktemp -d)
    local example
    for example in examples/*.xml; do
        [ -e "$example" ] || continue
        echo "== valgrind: kvorxml tree $example"
        KVOR_REGISTRY="$state/registry" KVOR_DEVICE_ROOT="$state/device" KVOR_DEBUG_OUTPUT= \
            valgrind -q --leak-check=full --error-exitcode=1 "$client" tree "$example" >/dev/null
    done
    rm -rf "$state"
}

case "${1:-}" in
run)
    ensure_packages "${PACKAGES[@]}"
    configure_and_build build -DKVOR_BUILD_TESTS=OFF
    build/tools/kvorxml/kvorxml tree examples/device-ui.xml
    ;;
test)
    ensure_packages "${PACKAGES[@]}" "${TEST_PACKAGES[@]}"
    # Every ctest run of this command, native and cross, adds its counts here.
    KVOR_TEST_TALLY=$(mktemp)
    export KVOR_TEST_TALLY
    configure_and_build build -DKVOR_BUILD_TESTS=ON
    run_ctest build
    configure_and_build build-sanitize -DKVOR_BUILD_TESTS=ON -DKVOR_SANITIZE=address,undefined
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_ctest build-sanitize
    # The device's stand-ins (tools/cross-test.sh): 32-bit ARM under
    # qemu-arm and Windows under Wine. KVOR_CROSS names the ones to run
    # ("armhf", "win64", both, or "none").
    cross=${KVOR_CROSS:-armhf win64}
    if [ "$cross" != none ]; then
        # shellcheck disable=SC2086
        tools/cross-test.sh $cross
    fi
    fuzz/run.sh 45
    check_client_leaks
    awk '{ passed += $1; failed += $2; skipped += $3 }
         END { printf "tests: %d passed, %d failed, %d skipped\n", passed, failed, skipped }' "$KVOR_TEST_TALLY"
    rm -f "$KVOR_TEST_TALLY"
    ;;
*)
    echo "usage: ./build.sh run | test" >&2
    exit 2
    ;;
esac

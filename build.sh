#!/usr/bin/env bash
# Builds kvorXMLParser and runs it.
#   ./build.sh run        build, then run the command-line client on the shipped example
#   ./build.sh test       build the tests and run them natively and under AddressSanitizer
#                         and UndefinedBehaviorSanitizer (a few minutes)
#   ./build.sh test-all   the same, then the whole matrix: 32-bit ARM under qemu-arm,
#                         Windows under Wine (KVOR_CROSS names the cross targets, "none"
#                         neither), fuzz replay and fuzzing, the client under valgrind
# Missing Debian packages are installed when run as root; each command installs
# only what it needs.
set -euo pipefail
cd "$(dirname "$0")"

JOBS=$(nproc 2>/dev/null || echo 2)
PACKAGES=(cmake g++ make libgtest-dev googletest pkg-config)
# The whole matrix also fuzzes (clang's libFuzzer) and checks the client for
# leaks; the cross targets install their own.
MATRIX_PACKAGES=(clang libclang-rt-14-dev valgrind)

source tools/build-common.sh

# configure_and_build FOLDER BUILD_TYPE [cmake options...]
configure_and_build() {
    local folder=$1 type=$2
    shift 2
    cmake -S . -B "$folder" -DCMAKE_BUILD_TYPE="$type" "$@" >/dev/null
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

# A failing stage is remembered, and the later stages still run, so that
# the count line covers every suite and the command still fails.
failed=0

# The native suite, then the same tests under AddressSanitizer and
# UndefinedBehaviorSanitizer; every ctest run adds its counts to the tally.
run_native_tests() {
    configure_and_build build RelWithDebInfo -DKVOR_BUILD_TESTS=ON
    run_ctest build || failed=1
    # Unoptimised: instrumented code takes several times longer to compile
    # when optimised, and the sanitizers find the same faults without it.
    configure_and_build build-sanitize Debug -DKVOR_BUILD_TESTS=ON -DKVOR_SANITIZE=address,undefined
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_ctest build-sanitize || failed=1
}

# The device's stand-ins (tools/cross-test.sh): 32-bit ARM under qemu-arm
# and Windows under Wine. KVOR_CROSS names the ones to run ("armhf",
# "win64", both, or "none").
run_cross_tests() {
    local cross=${KVOR_CROSS:-armhf win64}
    if [ "$cross" != none ]; then
        # shellcheck disable=SC2086
        tools/cross-test.sh $cross || failed=1
    fi
}

start_tally() {
    KVOR_TEST_TALLY=$(mktemp)
    export KVOR_TEST_TALLY
}

print_tally() {
    awk '{ passed += $1; failed += $2; skipped += $3 }
         END { printf "tests: %d passed, %d failed, %d skipped\n", passed, failed, skipped }' "$KVOR_TEST_TALLY"
    rm -f "$KVOR_TEST_TALLY"
    return $failed
}

case "${1:-}" in
run)
    ensure_packages "${PACKAGES[@]}"
    configure_and_build build RelWithDebInfo -DKVOR_BUILD_TESTS=OFF
    build/tools/kvorxml/kvorxml tree examples/device-ui.xml
    ;;
test)
    ensure_packages "${PACKAGES[@]}"
    start_tally
    run_native_tests
    print_tally
    ;;
test-all)
    ensure_packages "${PACKAGES[@]}" "${MATRIX_PACKAGES[@]}"
    start_tally
    run_native_tests
    run_cross_tests
    fuzz/run.sh 45 || failed=1
    check_client_leaks || failed=1
    print_tally
    ;;
*)
    echo "usage: ./build.sh run | test | test-all" >&2
    exit 2
    ;;
esac

#!/usr/bin/env bash
# Builds the fuzz targets with clang, replays the seed corpus and every
# input that ever crashed, then fuzzes each target for a bounded time.
#   fuzz/run.sh [seconds per target, default 60]
#   KVOR_FUZZ_TARGETS="TreeEditFuzzer LoggerFuzzer" fuzz/run.sh 600   (some of them)
# Fails on the first crash, leak, sanitizer report or timeout; the input
# is then in fuzz/corpus-work/ (keep it in fuzz/regressions/<target>/).
set -euo pipefail
cd "$(dirname "$0")/.."

SECONDS_PER_TARGET=${1:-60}
BUILD=${KVOR_FUZZ_BUILD:-build-fuzz}
JOBS=$(nproc 2>/dev/null || echo 2)
TARGETS=(${KVOR_FUZZ_TARGETS:-LoadDocumentFuzzer KeyValueTableFuzzer RectAndColorFuzzer TreeEditFuzzer LoggerFuzzer})
# Long enough for the seeds at the limits (fuzz/make-limit-seeds.py): 257
# levels and 2048-character lines in UTF-16, a chain of 257 added elements.
declare -A MAX_LEN=([LoadDocumentFuzzer]=8192 [KeyValueTableFuzzer]=4096 [RectAndColorFuzzer]=1024
                    [TreeEditFuzzer]=4096 [LoggerFuzzer]=4096)
WORK=fuzz/corpus-work

cmake -S . -B "$BUILD" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKVOR_BUILD_FUZZERS=ON -DKVOR_SANITIZE=address,undefined \
    -DKVOR_BUILD_TESTS=OFF -DKVOR_BUILD_TOOLS=OFF >/dev/null
cmake --build "$BUILD" -j "$JOBS" --target "${TARGETS[@]}"

# The library's state (registry, device root) stays inside the work folder.
mkdir -p "$WORK/state"
export KVOR_REGISTRY="$PWD/$WORK/state/registry"
export KVOR_DEVICE_ROOT="$PWD/$WORK/state/device"
export KVOR_DEBUG_OUTPUT=
# The targets' scratch files, many and small, in memory where the machine has it.
if [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

fail() {
    echo "fuzz/run.sh: $1 failed; the input is in $WORK/ (keep it in fuzz/regressions/$1/)" >&2
    exit 1
}

for target in "${TARGETS[@]}"; do
    binary="$BUILD/fuzz/$target"
    inputs=(fuzz/corpus/"$target")
    [ -d fuzz/regressions/"$target" ] && inputs+=(fuzz/regressions/"$target")
    echo "== $target: replaying ${inputs[*]}"
    "$binary" -runs=0 -artifact_prefix="$WORK/$target-replay-" "${inputs[@]}" 2>&1 | tail -n 3 ||
        fail "$target"

    echo "== $target: fuzzing for ${SECONDS_PER_TARGET} s"
    mkdir -p "$WORK/$target"
    "$binary" -max_total_time="$SECONDS_PER_TARGET" -max_len="${MAX_LEN[$target]}" -timeout=25 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$WORK/$target-" \
        "$WORK/$target" "${inputs[@]}" >"$WORK/$target.log" 2>&1 || {
        tail -n 60 "$WORK/$target.log" >&2
        fail "$target"
    }
    grep -E '^stat::number_of_executed_units|^Done' "$WORK/$target.log" || true
done

#!/usr/bin/env bash
# Builds the load benchmarks (Release, in build-bench/) and runs them; the
# side-by-side tables of the medians come last, the in-process table and the
# whole-process table. Arguments go to the benchmark program, e.g.
# --benchmark_filter=config-1MB.
set -euo pipefail

usage() {
    cat <<'EOF_USAGE'
usage: bench/run.sh [--second-thread] [--in-process-only | --whole-process-only]
                    [--rounds-scale=F] [--baseline=PROGRAM] [Google Benchmark options]

Builds the load benchmarks (Release, in build-bench/) and runs them, then
prints two tables:

  in process     this library, pugixml, tinyxml2, expat and libxml2 load and
                 free the same generated documents in one process (Google
                 Benchmark, CPU time, median of the repetitions);
  whole process  each parser in fresh processes of its own
                 (build-bench/bench/kvor_process_rounds), each round from
                 creating the parser through loading and one walk over every
                 element to releasing it, on the configuration documents of
                 16 KB, 1 MB and 8 MB, timed by the wall clock and by the
                 process's CPU time: median, interquartile range, min and max
                 of the rounds.

The goal line (config-1MB, ours on UTF-16 against tinyxml2 on UTF-8) is
given from both, side by side.

  --second-thread                keep an idle second thread alive in every process
  --in-process-only              only the in-process table
  --whole-process-only           only the whole-process table
  --rounds-scale=F               whole process: F times the rounds (default 1:
                                 3000, 90 and 15 a parser)
  --baseline=PROGRAM             whole process: also the kvor_process_rounds of
                                 another build (this library before a change),
                                 as a column of its own in the same run
  --benchmark_filter=REGEX       in process: only the matching benchmarks (config-1MB, heap/)
  --benchmark_repetitions=N      in process: repetitions (default 5, medians shown)

Every process gets the same environment, so the same malloc settings
(GLIBC_TUNABLES and the MALLOC_ variables, shown above the table).

Missing Debian packages are installed when run as root. Google Benchmark's
own options: build-bench/bench/kvor_load_benchmark --help (once built).
EOF_USAGE
}

for argument in "$@"; do
    case "$argument" in
    -h | --help)
        usage
        exit 0
        ;;
    esac
done

source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir="$source_dir/build-bench"
cd "$source_dir"
source tools/build-common.sh
packages="cmake g++ pkg-config libbenchmark-dev libpugixml-dev libtinyxml2-dev libexpat1-dev libxml2-dev"

ensure_packages $packages

cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release \
    -DKVOR_BUILD_BENCHMARKS=ON -DKVOR_BUILD_TESTS=OFF -DKVOR_BUILD_TOOLS=OFF >/dev/null
cmake --build "$build_dir" --target kvor_load_benchmark -j "$(nproc)"

# The library as shipped: logging settings from an empty registry (nothing
# enabled beyond the defaults), no debugger output.
mkdir -p "$build_dir/bench-registry"
unset KVOR_DEBUG_OUTPUT
export KVOR_REGISTRY="$build_dir/bench-registry"
export KVOR_DEVICE_ROOT="$build_dir/bench-device"
export KVOR_BENCH_DOCUMENTS="$build_dir/bench-documents"
exec "$build_dir/bench/kvor_load_benchmark" "$@"

#!/usr/bin/env bash
# Builds the load benchmarks (Release, in build-bench/) and runs them; the
# side-by-side tables of the medians come last. Arguments go to the
# benchmark program, e.g. --benchmark_filter=config-1MB.
set -euo pipefail

usage() {
    cat <<'EOF_USAGE'
usage: bench/run.sh [--second-thread] [Google Benchmark options]

Builds the load benchmarks (Release, in build-bench/) and runs them: this
library, pugixml, tinyxml2, expat and libxml2 load the same generated
documents; the side-by-side tables of the medians come last.

  --second-thread                keep an idle second thread alive for the run
  --benchmark_filter=REGEX       run only the matching benchmarks (config-1MB, heap/)
  --benchmark_repetitions=N      repetitions (default 5, medians shown)

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

#!/bin/sh
# Builds the load benchmarks (Release, in build-bench/) and runs them; the
# side-by-side tables of the medians come last. Arguments go to the
# benchmark program, e.g. --benchmark_filter=config-1MB.
set -eu

source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir="$source_dir/build-bench"
packages="cmake g++ pkg-config libbenchmark-dev libpugixml-dev libtinyxml2-dev libexpat1-dev libxml2-dev"

missing=""
for package in $packages; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing="$missing $package"
done
if [ -n "$missing" ]; then
    if [ "$(id -u)" -eq 0 ]; then
        apt-get update -qq
        # shellcheck disable=SC2086
        apt-get install -y -qq --no-install-recommends $missing
    else
        echo "missing packages:$missing (run as root to install them)" >&2
        exit 1
    fi
fi

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

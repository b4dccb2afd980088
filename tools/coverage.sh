#!/usr/bin/env bash
# Line and branch coverage of the library by the native test suite: a clang
# build at -O0 with source-based coverage in build-coverage/, every test
# process writing its own profile, then a report of the library's sources
# and one line per folder.
#   tools/coverage.sh
# Missing Debian packages (clang, llvm) are installed when run as root.
set -euo pipefail
cd "$(dirname "$0")/.."

JOBS=$(nproc 2>/dev/null || echo 2)
FOLDER=build-coverage
PROFILES="$PWD/$FOLDER/profiles"

source tools/build-common.sh
ensure_packages cmake make libgtest-dev googletest clang llvm

FLAGS="-O0 -g -fprofile-instr-generate -fcoverage-mapping"
cmake -S . -B "$FOLDER" -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_CXX_FLAGS="$FLAGS" -DCMAKE_EXE_LINKER_FLAGS=-fprofile-instr-generate \
    -DCMAKE_SHARED_LINKER_FLAGS=-fprofile-instr-generate >/dev/null
cmake --build "$FOLDER" -j "$JOBS"

# Tests start their own program again in fresh processes: %p keeps one
# profile per process, %m one per program.
rm -rf "$PROFILES"
status=0
LLVM_PROFILE_FILE="$PROFILES/%p-%m.profraw" ctest --test-dir "$FOLDER" -j "$JOBS" --timeout 600 \
    --output-on-failure >"$FOLDER/ctest-output.txt" || {
    status=$?
    tail -n 30 "$FOLDER/ctest-output.txt"
    echo "coverage.sh: tests failed; the figures below count what ran" >&2
}
llvm-profdata merge -sparse -o "$FOLDER/suite.profdata" "$PROFILES"/*.profraw

# The test programs, the client and the shared library they load.
objects=()
while IFS= read -r binary; do
    [ ${#objects[@]} -gt 0 ] && objects+=(-object)
    objects+=("$binary")
done < <(find "$FOLDER/tests" "$FOLDER/tools" "$FOLDER/examples" "$FOLDER"/libkvorXMLParser.so \
    -name CMakeFiles -prune -o -type f -perm -u+x -print)

cover() {
    llvm-cov report "${objects[@]}" -instr-profile="$FOLDER/suite.profdata" "$@"
}

cover platform DebLog xmlparser

# The TOTAL row: regions, missed, %, functions, missed, %, lines, missed, %, branches, missed, %.
echo
printf '%-20s %8s %8s\n' folder lines branches
for group in platform/common platform/posix DebLog xmlparser/dom xmlparser/reader xmlparser total; do
    case $group in
    xmlparser) sources=$(find xmlparser -path xmlparser/dom -prune -o -path xmlparser/reader -prune -o -type f -print) ;;
    platform/common) sources="platform/common platform/include" ;;
    platform/posix) sources="platform/posix" ;;
    total) sources="platform DebLog xmlparser" ;;
    *) sources=$group ;;
    esac
    # shellcheck disable=SC2086
    cover $sources 2>/dev/null | awk -v group="$group" '/^TOTAL/ { printf "%-20s %8s %8s\n", group, $10, $13 }'
done
exit $status

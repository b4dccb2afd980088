#!/usr/bin/env bash
# Mutation check: how many realistic faults the native test suite catches.
#   tools/mutation/run.sh [IDS...]      every fault of faults.tsv, or the named ones
#   tools/mutation/run.sh --check       only checks that each fault applies exactly once
# Each fault is planted in turn in a copy of the working tree, which is then
# rebuilt and tested; a fault is killed when the suite fails, survives when
# it passes, and is broken when the copy no longer builds. Ends with
# "killed K of N (S survived, B broken)". Results: build-mutation/results.tsv;
# the tests that caught each fault: build-mutation/killers.tsv.
# faults.tsv: id, file, exact source text, replacement, what the fault is
# (tab-separated; \n, \t and \\ stand for themselves in the two texts).
set -euo pipefail
cd "$(dirname "$0")/../.."
FAULTS=${MUT_FAULTS:-tools/mutation/faults.tsv}
WORK=${MUT_WORK:-build-mutation}
JOBS=$(nproc 2>/dev/null || echo 2)

# plant FILE OLD NEW: replaces the one occurrence of OLD (fails unless exactly one).
plant() {
    python3 - "$@" <<'PY'
import sys
path, old, new = sys.argv[1:4]
import re
unescape = lambda t: re.sub(r"\\([nt\\])", lambda m: {"n": "\n", "t": "\t", "\\": "\\"}[m.group(1)], t)
old, new = unescape(old), unescape(new)
text = open(path, encoding="utf-8").read()
if text.count(old) != 1:
    sys.exit(f"{path}: the fault's text occurs {text.count(old)} times")
open(path, "w", encoding="utf-8").write(text.replace(old, new))
PY
}

# fields LINE: id, file, old, new and what of one fault. (read with a tab
# separator would merge the two tabs around an empty replacement.)
fields() {
    id=$(cut -f1 <<<"$1") file=$(cut -f2 <<<"$1") old=$(cut -f3 <<<"$1")
    new=$(cut -f4 <<<"$1") what=$(cut -f5 <<<"$1")
}

mkdir -p "$WORK"
# The run reads its own copy of the list: the list may be edited meanwhile.
cp "$FAULTS" "$WORK/faults.tsv"
FAULTS="$WORK/faults.tsv"
tree="$WORK/tree"
rm -rf "$tree"
mkdir -p "$tree"
git ls-files -z | xargs -0 cp --parents -t "$tree"
wanted=" $* "
[ "${1:-}" = --check ] && wanted=" "

if [ "${1:-}" = --check ]; then
    status=0
    while IFS= read -r line; do
        fields "$line"
        cp "$tree/$file" "$WORK/original"
        plant "$tree/$file" "$old" "$new" || { echo "$id does not apply"; status=1; }
        cp "$WORK/original" "$tree/$file"
    done <"$FAULTS"
    exit $status
fi

cmake -S "$tree" -B "$WORK/build" -DCMAKE_BUILD_TYPE=Debug -DKVOR_BUILD_TESTS=ON >/dev/null
cmake --build "$WORK/build" -j "$JOBS" >/dev/null
ctest --test-dir "$WORK/build" -j "$JOBS" >/dev/null || { echo "the suite fails without a fault" >&2; exit 1; }

killed=0 survived=0 broken=0 total=0
: >"$WORK/results.tsv"
: >"$WORK/killers.tsv"
while IFS= read -r line; do
    fields "$line"
    [ "$wanted" = "  " ] || [[ "$wanted" == *" $id "* ]] || continue
    total=$((total + 1))
    cp "$tree/$file" "$WORK/original"
    plant "$tree/$file" "$old" "$new"
    if ! cmake --build "$WORK/build" -j "$JOBS" >"$WORK/$id.log" 2>&1; then
        outcome=broken broken=$((broken + 1))
    elif ctest --test-dir "$WORK/build" -j "$JOBS" --timeout 300 >>"$WORK/$id.log" 2>&1; then
        outcome=survived survived=$((survived + 1))
    else
        outcome=killed killed=$((killed + 1))
    fi
    cp "$WORK/original" "$tree/$file"
    printf '%s\t%s\t%s\n' "$id" "$outcome" "$what" | tee -a "$WORK/results.tsv"
    # The tests that caught it, for killers.tsv.
    [ "$outcome" = killed ] && printf '%s\t%s\n' "$id" "$(sed -n -E \
        's/^[[:space:]]+[0-9]+ - ([^ ]+).*\((Failed|SEGFAULT|Subprocess aborted|Timeout|Exception.*)\)$/\1/p' \
        "$WORK/$id.log" | sort -u | tr '\n' ' ')" >>"$WORK/killers.tsv"
done <"$FAULTS"
cmake --build "$WORK/build" -j "$JOBS" >/dev/null
echo "killed $killed of $total ($survived survived, $broken broken)"
# A fault that one test alone catches marks that test as the only check of it.
single=$(awk -F'\t' 'split($2, tests, " ") == 1' "$WORK/killers.tsv" 2>/dev/null | wc -l)
echo "caught by one test only: $single (the tests that caught each fault: $WORK/killers.tsv)"

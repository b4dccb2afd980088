# Sourced by the build scripts.

# ensure_packages PACKAGE...   installs the missing Debian packages when run
#                              as root; otherwise names them and exits.
ensure_packages() {
    local missing=()
    for package in "$@"; do
        dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local me
    me=$(basename "$0")
    if [ "$(id -u)" -ne 0 ]; then
        echo "$me: missing Debian packages: ${missing[*]} (run as root to install them)" >&2
        exit 1
    fi
    echo "$me: installing ${missing[*]}" >&2
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# run_ctest FOLDER   runs a build folder's tests; with KVOR_TEST_TALLY set,
#                    adds "passed failed skipped" of the run to that file.
run_ctest() {
    local folder=$1
    local output="$folder/ctest-output.txt"
    local status=0
    ctest --test-dir "$folder" --output-on-failure -j "$(nproc 2>/dev/null || echo 2)" --timeout 600 \
        | tee "$output" || status=$?
    if [ -n "${KVOR_TEST_TALLY:-}" ]; then
        local skipped
        skipped=$(grep -c '(Skipped)$' "$output" || true)
        sed -n -E 's/^[0-9]+% tests passed, ([0-9]+) tests? failed out of ([0-9]+)$/\1 \2/p' "$output" \
            | awk -v skipped="$skipped" '{ print $2 - $1 - skipped, $1, skipped }' >> "$KVOR_TEST_TALLY"
    fi
    return $status
}

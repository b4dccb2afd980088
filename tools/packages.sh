# Sourced by the build scripts: installs the Debian packages a step needs.
# ensure_packages PACKAGE...   installs the missing ones when run as root;
#                              otherwise names them and exits.
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

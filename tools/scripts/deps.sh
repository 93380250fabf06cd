# Sourced by ./run and ./test: installs the Debian packages that are missing.

QUILLET_BUILD_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-serialport-dev
    libgl-dev fonts-liberation2 qt6-qpa-plugins)

quillet_missing_packages() {
    local pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' ||
            printf '%s\n' "$pkg"
    done
}

# Installs what is missing: as root directly, otherwise through sudo,
# otherwise it says exactly what to run and fails.
quillet_ensure_packages() {
    local missing
    mapfile -t missing < <(quillet_missing_packages "$@")
    [ "${#missing[@]}" -eq 0 ] && return 0
    # Another install may hold the package lock for a while (a second build beside
    # this one): wait for it rather than fail.
    local cmd=(apt-get -o DPkg::Lock::Timeout=900 install -y --no-install-recommends "${missing[@]}")
    echo "Installing missing packages: ${missing[*]}" >&2
    if [ "$(id -u)" -eq 0 ]; then
        DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 update -qq &&
            DEBIAN_FRONTEND=noninteractive "${cmd[@]}"
    elif command -v sudo >/dev/null 2>&1; then
        sudo apt-get -o DPkg::Lock::Timeout=900 update -qq && sudo DEBIAN_FRONTEND=noninteractive "${cmd[@]}"
    else
        echo "Quillet needs these packages; run as root: apt-get update && ${cmd[*]}" >&2
        return 1
    fi
}

#!/usr/bin/env bash
# Cross-builds Qt's base modules for 64-bit Windows (MinGW-w64) from Debian's
# own source package of qt6-base, the same version as this machine's Qt, whose
# moc, uic and rcc the cross build runs. Installs it under
#   ~/.cache/quillet/qt-<version>-mingw-<key>/
# where <key> is a hash of the source version, the options, the patch and the
# toolchain file: a change in any of them builds anew, otherwise the cached Qt
# is reused at once. Prints that folder, alone, on standard output; all else
# goes to standard error. The first build takes long (about 1,150 steps).
#   packaging/windows/build-qt.sh          (QUILLET_JOBS=N to set the parallelism)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../../tools/scripts/deps.sh"
toolchain=$here/mingw-w64-x86_64.cmake
# Without OpenGL, the Windows platform plugin still reaches for the dynamic
# OpenGL switch; the patch puts those two places behind OpenGL as well.
patch_file=$here/qt-no-opengl.patch

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

quillet_ensure_packages g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
    libz-mingw-w64-dev dpkg-dev cmake ninja-build qt6-base-dev qt6-base-dev-tools >&2

version=$(dpkg-query -W -f='${Version}' qt6-base-dev) # 6.4.2+dfsg-10
upstream=${version%%[+-]*}

# Shared libraries; only what the program and its tests use. The Windows
# platform plugin wants a tablet header that Debian's source leaves out.
options=(
    -DCMAKE_BUILD_TYPE=Release
    -DBUILD_SHARED_LIBS=ON
    -DQT_BUILD_EXAMPLES=OFF
    -DQT_BUILD_TESTS=OFF
    -DFEATURE_sql=OFF
    -DFEATURE_network=OFF
    -DFEATURE_dbus=OFF
    -DFEATURE_opengl=OFF
    -DFEATURE_xml=OFF
    -DFEATURE_concurrent=OFF
    -DFEATURE_tabletevent=OFF
    -DFEATURE_printsupport=ON
    -DQT_HOST_PATH=/usr
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
)
key=$({
    printf '%s\n' "$version" "${options[@]}"
    cat "$patch_file" "$toolchain"
} | sha256sum | cut -c1-12)
cache=${XDG_CACHE_HOME:-$HOME/.cache}/quillet
prefix=$cache/qt-$upstream-mingw-$key
mkdir -p "$cache"

# A second build beside this one waits for it and then reuses its result.
exec 9>"$cache/qt-mingw-$key.lock"
flock 9

# The source package is kept, so another set of options does not fetch it again.
downloads=$cache/qt6-base-src-$version

# The licence texts of what the programs ship: Qt's own and those of the
# libraries bundled in it, as Debian's source package lists them.
keep_licences() {
    [ -f "$prefix/licenses/copyright" ] && return 0
    mkdir -p "$prefix/licenses"
    tar -xf "$downloads"/qt6-base_*.orig.tar.* -C "$prefix/licenses" --strip-components=2 \
        --wildcards '*/LICENSES/*'
    tar -xf "$downloads"/qt6-base_*.debian.tar.* -C "$prefix/licenses" --strip-components=1 \
        debian/copyright
}

if [ -f "$prefix/.complete" ]; then
    keep_licences
    echo "$prefix"
    exit 0
fi

# apt-get source needs a deb-src line: the same mirrors and suites as this
# machine's own packages come from, in a file of its own.
add_source_lines() {
    grep -rqs '^Types:.*deb-src\|^deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/ && return 0
    local list=/etc/apt/sources.list.d/quillet-deb-src
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        sed 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
            as_root tee "$list.sources" >/dev/null
    else
        grep -h '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' |
            as_root tee "$list.list" >/dev/null
    fi
    as_root apt-get -o DPkg::Lock::Timeout=900 update -qq >&2
}

fetch_source() {
    if [ ! -f "$downloads/.complete" ]; then
        add_source_lines
        rm -rf "$downloads" && mkdir -p "$downloads"
        (cd "$downloads" && apt-get source --download-only "qt6-base=$version" >&2)
        touch "$downloads/.complete"
    fi
    dpkg-source -x "$downloads"/qt6-base_*.dsc "$1" >&2
}

work=$cache/qt-mingw-build-$key
rm -rf "$work" "$prefix"
mkdir -p "$work"
fetch_source "$work/src"
patch -d "$work/src" -p1 <"$patch_file" >&2
started=$SECONDS
cmake -S "$work/src" -B "$work/build" -G Ninja "${options[@]}" \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_INSTALL_PREFIX="$prefix" >&2
cmake --build "$work/build" --parallel "${QUILLET_JOBS:-$(nproc)}" >&2
cmake --install "$work/build" >&2
keep_licences
echo "Qt $version for Windows: built in $((SECONDS - started)) s" | tee "$prefix/.complete" >&2
rm -rf "$work"
echo "$prefix"

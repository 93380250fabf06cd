#!/usr/bin/env bash
# Builds Quillet for 64-bit Windows on a Debian 12 machine and packages it:
#   build-windows/dist/quillet-<version>-setup.exe   installer (silent with /S)
#   build-windows/dist/quillet-<version>-win64.zip   the same files, run from any folder
#   build-windows/tests/tst_winport.exe              the port's tests, for test-wine.sh
# Installs the packages it needs, builds Qt for Windows once (build-qt.sh, cached
# under ~/.cache/quillet) and cross-builds quillet.exe and quillet-cli.exe.
#   packaging/windows/build.sh [OUTPUT_DIR]        (default build-windows in the source tree)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
out=$(realpath -m "${1:-$source_dir/build-windows}")
source "$source_dir/tools/scripts/deps.sh"

quillet_ensure_packages g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 cmake \
    ninja-build qt6-base-dev qt6-base-dev-tools icoutils nsis zip
qt=$("$here/build-qt.sh")
version=$(sed -n -E 's/^project\(Quillet VERSION ([0-9.]+).*/\1/p' "$source_dir/CMakeLists.txt")
stage=$out/stage/quillet-$version
dist=$out/dist

# Qt's toolchain file loads ours: named here, so that the cached Qt does not
# depend on where the source tree was when Qt was built.
cmake -S "$source_dir" -B "$out/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$here/mingw-w64-x86_64.cmake" \
    -DQUILLET_QT_LICENSES="$qt/licenses" -DBUILD_TESTING=ON
cmake --build "$out/build" --parallel "${QUILLET_JOBS:-$(nproc)}"
rm -rf "$out/stage" "$dist" "$out/tests"
cmake --install "$out/build" --prefix "$stage"
# The port's test program, which test-wine.sh runs; it is not shipped.
cmake --install "$out/build" --prefix "$out/tests" --component wintests
find "$stage" -name '*.dll' -o -name '*.exe' | xargs x86_64-w64-mingw32-strip --strip-unneeded

mkdir -p "$dist"
(cd "$out/stage" && find "quillet-$version" | LC_ALL=C sort |
    TZ=UTC zip -q -X -D "$dist/quillet-$version-win64.zip" -@)

# The installer's file list is the staged folder's, so that the uninstaller
# removes exactly what was installed and nothing a user put beside it.
nsis_lists() {
    (cd "$stage" && find . -type d | LC_ALL=C sort) | sed 's|^\./\?||' | while read -r dir; do
        printf 'SetOutPath "$INSTDIR%s"\n' "${dir:+\\${dir//\//\\}}"
        (cd "$stage/${dir:-.}" && find . -maxdepth 1 -type f | LC_ALL=C sort) | while read -r file; do
            printf 'File "%s"\n' "$stage/${dir:+$dir/}${file#./}"
        done
    done >"$out/install-files.nsh"
    (cd "$stage" && find . -type f | LC_ALL=C sort) |
        sed 's|^\./||; s|/|\\|g; s|.*|Delete "$INSTDIR\\&"|' >"$out/uninstall-files.nsh"
    (cd "$stage" && find . -mindepth 1 -type d | LC_ALL=C sort -r) |
        sed 's|^\./||; s|/|\\|g; s|.*|RMDir "$INSTDIR\\&"|' >>"$out/uninstall-files.nsh"
}
nsis_lists
makensis -V2 -NOCD -DVERSION="$version" -DSTAGE="$stage" -DLISTS="$out" \
    -DSIZE_KB="$(du -sk "$stage" | cut -f1)" \
    -DICON="$out/build/packaging/windows/quillet.ico" \
    -DOUTFILE="$dist/quillet-$version-setup.exe" "$here/quillet.nsi"
ls -l "$dist"

#!/usr/bin/env bash
# Starts Quillet under Valgrind's memcheck on a virtual display, lets the
# splash give way to page 1, ends the program with Esc (page 1's Cancel) and
# checks the program for definite leaks of its own.
#
#   tests/valgrind.sh [build folder]      (default build-valgrind)
#
# A definite leak counts as the program's own when a frame of its stack is
# in Quillet's sources (tests/leaks/ownleaks.sh says exactly when); leaks of
# Qt's and of system libraries (X, fontconfig and the like) are listed in the
# log but do not fail the run.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/scripts/deps.sh
quillet_ensure_packages "${QUILLET_BUILD_PACKAGES[@]}" valgrind xvfb xauth xdotool

build="${1:-build-valgrind}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLET_SANITIZE=OFF \
    -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j2 --target quillet

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
log="$build/valgrind.log"

# The part that runs on the virtual display: the program in the background,
# then the keys, as a user would press them.
cat >"$work/session.sh" <<'SESSION'
#!/usr/bin/env bash
set -u
"$@" &
program=$!
page1=$(timeout 120 xdotool search --sync --onlyvisible --name 'page 1 of 3' | head -n 1)
if [ -z "$page1" ]; then
    echo "page 1 never appeared" >&2
    kill "$program"
    exit 2
fi
# The X server refuses the focus to a window that is not shown yet; without
# the Esc the program would wait for ever.
for ((try = 0; try < 60; try++)); do
    timeout 10 xdotool windowfocus --sync "$page1" key Escape 2>/dev/null && break
    sleep 0.5
done
if [ "$try" -eq 60 ]; then
    echo "page 1 never took the keys" >&2
    kill "$program"
    exit 2
fi
wait "$program"
SESSION
chmod +x "$work/session.sh"

start=$(date +%s)
windir="$work" QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24" \
    "$work/session.sh" valgrind --leak-check=full --show-leak-kinds=definite \
    --errors-for-leak-kinds=definite --num-callers=40 --log-file="$log" \
    "$build/app/quillet"
echo "valgrind: the program started and ended in $(($(date +%s) - start)) s; log in $log" >&2

own=$(tests/leaks/ownleaks.sh "$log")
grep -E '^==[0-9]+== +(definitely lost|ERROR SUMMARY)' "$log" >&2 || true
if ! grep -q 'ERROR SUMMARY' "$log"; then
    echo "valgrind: the program did not end normally" >&2
    exit 1
fi
if [ ! -f "$work/jxf.ini" ]; then
    echo "valgrind: the program ended without its orderly end (no settings saved)" >&2
    exit 1
fi
if [ -n "$own" ]; then
    printf '%s\n' "$own" >&2
    echo "valgrind: definite leak in Quillet's own code" >&2
    exit 1
fi
echo "valgrind: no definite leak of its own" >&2

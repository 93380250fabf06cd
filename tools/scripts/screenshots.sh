#!/usr/bin/env bash
# Re-creates the README's screenshots in docs/screenshots/: the real program and
# the simulated drive's front panel on a virtual X display, driven with
# xdotool through a JXF receive, with settings and files of their own.
#   tools/scripts/screenshots.sh [BUILD_DIR]     (default: build)
# With SCALE=2 in the environment, the same run at QT_SCALE_FACTOR=2 writes
# NAME-2x.png instead, to check the windows on a high-density screen.
# Needs Xvfb, xdotool and ImageMagick's import.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$source_dir/build}" && pwd)
out="$source_dir/docs/screenshots"
display=:${SCREENSHOT_DISPLAY:-94}
scale=${SCALE:-1}
suffix=
[ "$scale" = 1 ] || suffix=-${scale}x
export QT_SCALE_FACTOR=$scale
# A fixed folder, so that the paths the pages show stay the same between runs.
work="${TMPDIR:-/tmp}/quillet-screenshots"
rm -rf "$work"
config="$work/config/quillet"
files="$work/files"
mkdir -p "$config/dosdevices" "$files" "$out"
cmake --build "$build" --target quillet drivesim-panel >/dev/null

pids=()
cleanup() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

Xvfb "$display" -screen 0 $((1280 * scale))x$((800 * scale))x24 -nolisten tcp &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

# Waits for a visible window whose title matches, and prints its id.
window() {
    for _ in $(seq 100); do
        if id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1) && [ -n "$id" ]; then
            echo "$id"
            return
        fi
        sleep 0.1
    done
    echo "no window named '$1' appeared" >&2
    return 1
}
shot() { # window-id file
    sleep 0.4 # let the window finish painting
    local name=${2%.png}$suffix.png
    import -window "$1" "$out/$name"
    echo "wrote docs/screenshots/$name"
}
click() { # window-id x y  (pixels inside the window)
    xdotool mousemove --window "$1" $(($2 * scale)) $(($3 * scale)) click 1
}
# Page buttons sit in twips at 15 per pixel: page 1's Next (3840, 2040) and
# page 3's View Report (5160, 2040), each 1215 x 375.
next_x=296 right_x=384 button_y=148

"$build/tools/drivesim/panel/drivesim-panel" --settings-dir "$config" --com 1 --baud 57600 \
    --receive-file "$files/received-by-drive.jxf" </dev/null &
pids+=($!)
for _ in $(seq 50); do [ -e "$config/dosdevices/com1" ] && break; sleep 0.1; done
panel=$(window '^Simulated drive$')
xdotool windowmove "$panel" $((700 * scale)) 40

# Page 1 starts filled in: JXF from the drive, into received.jxf, COM1, 57600.
printf '1\r\n%s\r\n0\r\n8\r\n%s\r\n' "$files/received.jxf" "$files" >"$config/jxf.ini"
(cd "$files" && env -u windir XDG_CONFIG_HOME="$work/config" "$build/app/quillet") &
pids+=($!)
shot "$(window '^Quillet$')" splash.png
page1=$(window 'page 1 of 3')
shot "$page1" page1.png

click "$page1" "$next_x" "$button_y"
page2=$(window 'page 2 of 3')
shot "$page2" page2.png
# As page 2 asks, the drive's menu: JXF XFER (Drive TX), two down from the
# top. Page 2 sees the data come and the transfer runs on page 3.
xdotool windowfocus --sync "$panel" key Down Down
page3=$(window 'page 3 of 3')
for _ in $(seq 100); do
    [ "$(tail -c 1 "$files/received.jxf" 2>/dev/null | od -An -tu1 | tr -d ' ')" = 26 ] && break
    sleep 0.1
done
sleep 0.5
shot "$page3" page3.png
shot "$panel" drive-panel.png
click "$page3" "$right_x" "$button_y"
shot "$(window '^File Transfer Report$')" report.png

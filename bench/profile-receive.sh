#!/usr/bin/env bash
# Where a receive's CPU goes: the real program receives a dump from the
# simulated drive on a virtual X display, under Valgrind's callgrind, which
# counts instructions (the same count however busy the machine is). Only the
# transfer is counted, from the drive's open to its close.
#   bench/profile-receive.sh BUILD BAUD [accessibility|cli] [CHARS]
# BUILD is a Release build of the program and the drive (cmake -S . -B BUILD
# -DCMAKE_BUILD_TYPE=Release); "accessibility" turns Qt's bridge on in a
# D-Bus session of its own; "cli" profiles quillet-cli receive instead of the
# windows. Prints the total and the top functions, inclusive; the profile
# stays in $TMPDIR/quillet-profile/transfer.callgrind for callgrind_annotate.
set -euo pipefail
build=$(cd "$1" && pwd)
baud=$2
mode=${3:-}
chars=${4:-12000}
work="${TMPDIR:-/tmp}/quillet-profile"
rm -rf "$work"
mkdir -p "$work/files"
out="$work/callgrind.out"

# The dump: lines of text, as a drive's listing is, CHARS characters.
python3 - "$chars" >"$work/dump.mmi" <<'EOF'
import sys
n = int(sys.argv[1]); line = 0; text = ''
while len(text) < n:
    text += 'P%04d PARAMETER VALUE %08d\r\n' % (line % 10000, line * 7); line += 1
sys.stdout.write(text[:n])
EOF

pids=()
cleanup() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
    wait 2>/dev/null || true
}
trap cleanup EXIT

coproc drive { exec "$build/tools/drivesim/drivesim" --settings-dir "$work" --com 1 \
    --baud "$baud" --transmit "$work/dump.mmi" --start-delay 1500; }
pids+=("$drive_PID")
event() { # waits for the drive's event and says it happened
    local line
    while read -r -t 120 line <&"${drive[0]}"; do
        [[ $line == "$1"* ]] && return 0
    done
    echo "the drive never said $1" >&2
    return 1
}
event READY
grind=(valgrind --tool=callgrind --instr-atstart=no --callgrind-out-file="$out")

if [ "$mode" = cli ]; then
    windir=$work "${grind[@]}" "$build/cli/quillet-cli" dump "$work/files/received.mmi" \
        --port COM1 --baud "$baud" --quiet &
    pids+=($!)
    grinder=$!
else
    rates=(300 600 1200 2400 4800 9600 19200 38400 57600)
    for i in "${!rates[@]}"; do [ "${rates[i]}" = "$baud" ] && index=$i; done
    printf '0\r\n%s\r\n0\r\n%s\r\n%s\r\n' "$work/files/received.mmi" "$index" "$work/files" \
        >"$work/jxf.ini"
    display=:${PROFILE_DISPLAY:-93}
    Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp &
    pids+=($!)
    export DISPLAY=$display
    for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
    env=(env windir="$work")
    if [ "$mode" = accessibility ]; then
        env+=(QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 dbus-run-session --)
    fi
    "${env[@]}" "${grind[@]}" "$build/app/quillet" &
    pids+=($!)
    grinder=$!
    window() {
        for _ in $(seq 600); do
            id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1) &&
                [ -n "$id" ] && { echo "$id"; return; }
            sleep 0.1
        done
        return 1
    }
    # The splash gives way on a click, and page 1's Next is its default button.
    xdotool mousemove --window "$(window '^Quillet$')" 10 10 click 1
    page1=$(window 'page 1 of 3')
    xdotool windowfocus --sync "$page1" key Return
fi

event OPENED
# callgrind_control finds the program by its process.
valgrind_pid=$(pgrep -n -f "callgrind-out-file=$out")
callgrind_control -i on "$valgrind_pid" >/dev/null
if [ "$mode" = cli ]; then
    wait "$grinder" || true # the command ends with the transfer, its profile with it
else
    event CLOSED
    callgrind_control -i off "$valgrind_pid" >/dev/null
    callgrind_control -d "$valgrind_pid" >/dev/null
    kill "$grinder" 2>/dev/null || true
    wait "$grinder" 2>/dev/null || true
fi
cmp -s <(head -c "$chars" "$work/files/received.mmi") "$work/dump.mmi" ||
    echo "warning: the received file differs from what the drive sent" >&2
# The largest dump holds the transfer (with the windows, the one at the exit
# holds nothing).
profile=$(ls -S "$out"* | head -1)
mv "$profile" "$work/transfer.callgrind"
callgrind_annotate --inclusive=yes "$work/transfer.callgrind" 2>/dev/null | sed -n '1,60p'

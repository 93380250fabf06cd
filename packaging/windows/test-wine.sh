#!/usr/bin/env bash
# Tests the Windows installer under Wine, in a fresh Wine prefix on a virtual X
# display, with this machine's simulated drive on a pseudo-terminal mapped as
# COM1: installs silently, runs the installed programs, checks where the
# settings go, and uninstalls silently. One line per check, then "N passed, M failed".
#   packaging/windows/test-wine.sh [SETUP.exe] [DRIVESIM]
# SETUP.exe defaults to the one build.sh made; DRIVESIM (the simulated drive,
# tools/drivesim of a Linux build) defaults to build/tools/drivesim/drivesim.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
setup=$(realpath "${1:-$(ls "$source_dir"/build-windows/dist/quillet-*-setup.exe 2>/dev/null | head -n 1)}")
drivesim=$(realpath "${2:-$source_dir/build/tools/drivesim/drivesim}")
samples=$source_dir/tools/drivesim/samples
source "$source_dir/tools/scripts/deps.sh"
quillet_ensure_packages wine wine64 xvfb xdotool || exit 2
[ -f "$setup" ] || { echo "no installer: run packaging/windows/build.sh first" >&2; exit 2; }
[ -x "$drivesim" ] || { echo "no simulated drive at $drivesim: run ./run or build drivesim" >&2; exit 2; }

work=$(mktemp -d /tmp/quillet-wine.XXXXXX)
export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
passed=0 failed=0
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wineserver -k 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# check NAME COMMAND...: one line, ok or FAIL, by the command's exit status.
check() {
    local name=$1
    shift
    if "$@" >"$work/last.log" 2>&1; then
        echo "ok   $name"
        passed=$((passed + 1))
    else
        echo "FAIL $name"
        sed 's/^/     | /' "$work/last.log" | tail -n 8
        failed=$((failed + 1))
    fi
}
# exits CODE COMMAND...: the command ends with that exit status.
exits() {
    local want=$1 status=0
    shift
    "$@" || status=$?
    [ "$status" -eq "$want" ] || { echo "exit status $status, expected $want"; return 1; }
}
wait_for() { # wait_for SECONDS COMMAND...: until the command succeeds
    local tries=$(($1 * 10))
    shift
    for ((i = 0; i < tries; i++)); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
    return 1
}
to_unix() { winepath -u "$1" 2>/dev/null; }

display=:$((90 + RANDOM % 9))
while [ -e "/tmp/.X11-unix/X${display#:}" ]; do display=:$((${display#:} + 1)); done
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display
wineboot --init >/dev/null 2>&1
wineserver -w

# The simulated drive serves a pseudo-terminal; Wine's COM1 is mapped to it.
start_drive() { # start_drive ARGS...: a drive on a fresh pseudo-terminal, mapped as COM1
    local dir=$work/drive$RANDOM
    mkdir -p "$dir"
    "$drivesim" --settings-dir "$dir" --com 1 "$@" >"$dir/log" 2>&1 &
    pids+=($!)
    wait_for 10 test -e "$dir/dosdevices/com1" || return 1
    wine reg add 'HKLM\Software\Wine\Ports' /v COM1 /d "$(readlink "$dir/dosdevices/com1")" /f >/dev/null 2>&1
    wineserver -k && wineserver -w
}

installed=$(to_unix 'C:\Program Files\Quillet')
cli() { wine "$installed/quillet-cli.exe" "$@"; }

# Installation.
check "silent install" wine "$setup" /S
wineserver -w
check "installed programs" test -f "$installed/quillet.exe" -a -f "$installed/quillet-cli.exe"
check "Qt platform plugin installed" test -f "$installed/platforms/qwindows.dll"
check "licence texts installed" test -d "$installed/licenses"
check "Start-menu entry" test -f "$(to_unix 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs')/Quillet.lnk"
check "listed in Apps & features" \
    wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillet' /v UninstallString

# The command, without a port.
check "quillet-cli --help" exits 0 cli --help
check "check: an intact file" exits 0 cli check "$(winepath -w "$samples/params.jxf")"
head -c 300 "$samples/params.jxf" >"$work/damaged.jxf"
check "check: a damaged file" exits 1 cli check "$(winepath -w "$work/damaged.jxf")"
check "compare: the same data" exits 0 cli compare "$(winepath -w "$samples/params.jxf")" \
    "$(winepath -w "$samples/params.jxf")"
check "wrong use" exits 2 cli receive
check "a port that does not exist" exits 2 cli receive "$(winepath -w "$work/x.jxf")" --port COM7

# Transfers through COM1 to the simulated drive.
for baud in 9600 57600; do
    start_drive --baud "$baud" --transmit "$samples/params.jxf"
    check "receive at $baud" exits 0 cli receive "$(winepath -w "$work/got$baud.jxf")" \
        --port COM1 --baud "$baud" --start-timeout 20
    check "received byte for byte at $baud" cmp "$samples/params.jxf" "$work/got$baud.jxf"
done

# The windows and the settings file.
windows_dir=$(to_unix 'C:\windows')
app_data=$(to_unix "$(wine cmd /c echo '%APPDATA%' | tr -d '\r')")
# run_quillet_to_end [WINDIR]: the program up to page 1, ended by page 1's Cancel (Esc).
# Wine sets windir itself; cmd's set changes it for the program it starts.
run_quillet_to_end() {
    wine cmd /c "${1:+set windir=$1&& }cd /d $(winepath -w "$installed")&& quillet.exe" &
    local app=$!
    # The splash gives way to page 1 by itself after 4 seconds.
    wait_for 90 xdotool search --onlyvisible --name 'page 1 of 3' || return 1
    # No window manager on the virtual display: focus, not activate.
    xdotool search --onlyvisible --name 'page 1 of 3' windowfocus --sync key Escape
    wait_for 30 eval '! kill -0 $app' || { kill "$app"; return 1; }
}
check "the wizard starts and ends" run_quillet_to_end
check "settings in the Windows folder" test -f "$windows_dir/jxf.ini"
check "no settings in %APPDATA% while the Windows folder takes them" \
    test ! -e "$app_data/Quillet/jxf.ini"
# A Windows folder that takes no file (root passes every permission check, so
# a plain file stands where the folder would be): the settings go to %APPDATA%.
touch "$work/not-a-folder"
check "the wizard ends with an unwritable Windows folder" \
    run_quillet_to_end "$(winepath -w "$work/not-a-folder")"
check "settings in %APPDATA%" test -f "$app_data/Quillet/jxf.ini"

# Removal.
check "silent uninstall" wine "$installed/uninstall.exe" /S
wineserver -w
check "programs removed" test ! -e "$installed/quillet.exe"
check "removed from Apps & features" exits 1 \
    wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillet'

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]

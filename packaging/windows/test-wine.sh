#!/usr/bin/env bash
# Tests the Windows installer under Wine, in a fresh Wine prefix on a virtual X
# display, with this machine's simulated drive on pseudo-terminals that Wine
# maps as COM ports: installs silently, runs the installed command and windows
# against the drives, checks where the settings go, and uninstalls silently.
# One line per check, then "N passed, M failed" and how long the run took.
#   packaging/windows/test-wine.sh [SETUP.exe] [DRIVESIM]
# SETUP.exe defaults to the one build.sh made; DRIVESIM (the simulated drive,
# tools/drivesim of a Linux build) defaults to build/tools/drivesim/drivesim.
# The port's own test program is taken from tests/ beside the installer's
# folder, where build.sh puts it.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
setup=$(realpath "${1:-$(ls "$source_dir"/build-windows/dist/quillet-*-setup.exe 2>/dev/null | head -n 1)}")
drivesim=$(realpath "${2:-$source_dir/build/tools/drivesim/drivesim}")
samples=$source_dir/tools/drivesim/samples
port_tests=$(realpath -m "$(dirname "$setup")/../tests/tst_winport.exe")
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

# check NAME COMMAND...: one line, ok or FAIL, by the command's exit status;
# skip with the reason when the command wrote one to $work/skipped.
check() {
    local name=$1
    shift
    if "$@" >"$work/last.log" 2>&1; then
        echo "ok   $name"
        passed=$((passed + 1))
    elif [ -s "$work/skipped" ]; then
        echo "skip $name: $(cat "$work/skipped")"
        rm -f "$work/skipped"
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
win() { winepath -w "$1" 2>/dev/null; }
# same FILE EXPECTED [EOF]: FILE holds EXPECTED's bytes, then Ctrl-Z when EOF is given.
same() {
    { cat "$2"; [ -z "${3:-}" ] || printf '\032'; } >"$work/expected"
    cmp "$work/expected" "$1"
}

display=:$((90 + RANDOM % 9))
while [ -e "/tmp/.X11-unix/X${display#:}" ]; do display=:$((${display#:} + 1)); done
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display
wineboot --init >/dev/null 2>&1
wineserver -w

# The simulated drives, each on a pseudo-terminal of its own that Wine maps
# as a COM port; Wine reads its port table when it starts.
drive_dir() { echo "$work/drive-$1"; }
stamp() { # stamp DIR: the lines read, to DIR/log, and to DIR/stamped after the time
    local line
    while IFS= read -r line; do
        printf '%s\n' "$line" >>"$1/log"
        printf '%s %s\n' "$EPOCHREALTIME" "$line" >>"$1/stamped"
    done
}
add_drive() { # add_drive COMn ARGS...
    local dir
    dir=$(drive_dir "$1")
    mkdir -p "$dir"
    # Each line also goes to "stamped" with the moment it was printed.
    "$drivesim" --settings-dir "$dir" --com 1 "${@:2}" > >(stamp "$dir") 2>&1 &
    pids+=($!)
    wait_for 10 test -e "$dir/dosdevices/com1" || return 1
    wine reg add 'HKLM\Software\Wine\Ports' /v "$1" /d "$(readlink "$dir/dosdevices/com1")" /f \
        >/dev/null 2>&1
}
drive_said() { grep -q "$2" "$(drive_dir "$1")/log"; }
count() { grep -c "$2" "$(drive_dir "$1")/log"; } # count COMn WORD: the drive's lines with WORD

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
check "check: an intact file" exits 0 cli check "$(win "$samples/params.jxf")"
head -c 300 "$samples/params.jxf" >"$work/damaged.jxf"
check "check: a damaged file" exits 1 cli check "$(win "$work/damaged.jxf")"
check "compare: the same data" exits 0 cli compare "$(win "$samples/params.jxf")" \
    "$(win "$samples/params.jxf")"
check "wrong use" exits 2 cli receive
check "a port that does not exist" exits 2 cli receive "$(win "$work/x.jxf")" --port COM99
map_refused() { # Windows numbers its ports: exit 2, and the reason
    local status=0
    cli ports --map COM3 'C:\x' >"$work/map.txt" 2>&1 || status=$?
    cat "$work/map.txt"
    [ "$status" -eq 2 ] && grep -q 'Windows numbers the COM ports itself' "$work/map.txt"
}
check "ports --map: refused, Windows numbers its ports" map_refused

# The drives: COM10 to COM12 stand for USB adapters past COM8. Wine gives
# the machine's own serial devices the lowest numbers still free, from COM7 on.
add_drive COM1 --baud 9600 --transmit "$samples/params.jxf"
add_drive COM2 --baud 57600 --transmit "$samples/params.jxf"
add_drive COM3 --baud 9600 --receive "$work/sent9600.jxf"
add_drive COM4 --baud 57600 --receive "$work/sent57600.jxf"
add_drive COM5 --baud 9600 --transmit "$samples/drive-dump.mmi"
add_drive COM6 --baud 57600 --transmit "$samples/params.jxf" --no-eof
add_drive COM10 --baud 57600 --receive "$work/wizard-sent.jxf"
add_drive COM11 --idle
add_drive COM12 --baud 57600 --transmit "$samples/params.jxf"
wineserver -k
wineserver -w

# The list of ports: COM1 to COM8 always, then the higher numbers Wine has,
# in order.
cli ports 2>&1 | tr -d '\r' >"$work/ports.txt"
in_order() {
    awk '/^COM[0-9]+ / { n = substr($1, 4) + 0; if (n <= last || (++seen <= 8 && n != seen)) bad = 1;
                          last = n; if (n >= 10 && n <= 12 && /present/) found++ }
         END { exit bad || found != 3 }' "$work/ports.txt" || { cat "$work/ports.txt"; return 1; }
}
check "ports: COM1 to COM8, then COM10, COM11 and COM12 present" in_order
# Those of COM1 to COM8 that Wine has no device for are listed, as missing.
free_ones_missing() {
    local table n free=0
    table=$(wine reg query 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' | tr -d '\r')
    for n in 1 2 3 4 5 6 7 8; do
        grep -q "COM$n\$" <<<"$table" && continue
        free=$((free + 1))
        grep -q "^COM$n .*missing" "$work/ports.txt" || { cat "$work/ports.txt"; return 1; }
    done
    [ "$free" -gt 0 ] || echo "this machine's serial devices took COM7 and COM8" >"$work/skipped"
    [ "$free" -gt 0 ]
}
check "ports: a COM number that leads nowhere is missing" free_ones_missing

# Transfers through the command, byte for byte.
for baud in 9600 57600; do
    com=$([ "$baud" = 9600 ] && echo COM1 || echo COM2)
    check "receive at $baud" exits 0 cli receive "$(win "$work/got$baud.jxf")" --port "$com" \
        --baud "$baud" --start-timeout 20
    check "received byte for byte at $baud" same "$work/got$baud.jxf" "$samples/params.jxf" eof
    com=$([ "$baud" = 9600 ] && echo COM3 || echo COM4)
    check "send at $baud" exits 0 cli send "$(win "$samples/params.jxf")" --port "$com" \
        --baud "$baud"
    wait_for 10 drive_said "$com" CLOSED
    check "sent byte for byte at $baud" same "$work/sent$baud.jxf" "$samples/params.jxf"
done
check "dump at 9600" exits 0 cli dump "$(win "$work/dump.mmi")" --port COM5 --start-timeout 20
check "dumped byte for byte" same "$work/dump.mmi" "$samples/drive-dump.mmi" eof
check "receive through COM12" exits 0 cli receive "$(win "$work/got12.jxf")" --port COM12 \
    --baud 57600 --start-timeout 20
check "received byte for byte through COM12" same "$work/got12.jxf" "$samples/params.jxf" eof

# A drive that falls silent: the receive gives up after the full silence,
# 1.5 s, the 2 s pause and 1 s more, keeping every character it received
# and ending the file with Ctrl-Z.
timed_out() {
    local status=0 ended sent
    cli receive "$(win "$work/silent.jxf")" --port COM6 --baud 57600 --start-timeout 20 ||
        status=$?
    ended=$EPOCHREALTIME
    # The last TX-DONE, should the drive have sent more than once.
    grep -E ' (OPENED|TX-DONE|CLOSED)' "$(drive_dir COM6)/stamped"
    sent=$(awk '$2 == "TX-DONE" { sent = $1 } END { print sent }' "$(drive_dir COM6)/stamped")
    [ -n "$sent" ] || { echo "the drive never finished sending"; return 1; }
    local waited
    waited=$(awk -v from="$sent" -v to="$ended" 'BEGIN { printf "%.2f", to - from }')
    echo "exit status $status after $waited s of silence"
    echo "silence before the time-out: $waited s" >>"$work/figures"
    # The drive's last characters reach the program a little after the drive
    # says it has sent them: 0.1 s is left for that.
    [ "$status" -eq 1 ] && awk -v waited="$waited" 'BEGIN { exit !(waited >= 4.4) }'
}
check "a silent drive: time-out (exit 1) after 4.5 s of silence" timed_out
check "a silent drive: every character kept" same "$work/silent.jxf" "$samples/params.jxf" eof

# Ctrl-C reaches a Windows console program as SIGINT to its Wine process,
# which Wine hands to the console's control handlers as CTRL_C_EVENT.
interrupted() {
    local before
    before=$(count COM11 OPENED)
    # Not through cli(): a function in the background runs in a shell of its own.
    wine "$installed/quillet-cli.exe" receive "$(win "$work/interrupted.jxf")" --port COM11 \
        --start-timeout 60 &
    local app=$!
    wait_for 30 eval '[ "$(count COM11 OPENED)" -gt "$before" ]' || return 1
    kill -INT "$app"
    local status=0
    wait "$app" || status=$?
    [ "$status" -eq 130 ] || { echo "exit status $status, expected 130"; return 1; }
}
check "Ctrl-C: cancelled (exit 130)" interrupted

# The port's own tests: its Win32 calls answered by a driver of the test's
# own, and the settings file's names. The installed folder has the libraries
# it needs but Qt Test, which lies beside it. QtTest logs to a file: without
# a console window it would write to the debugger's log.
own_tests() { # own_tests LOG [FUNCTION]
    [ -f "$port_tests" ] || { echo "no $port_tests: run packaging/windows/build.sh"; return 1; }
    local status=0
    rm -f "$1"
    WINEPATH=$(win "$installed") wine "$port_tests" -o "$(win "$1"),txt" "${@:2}" || status=$?
    tr -d '\r' <"$1" | grep -E '^(FAIL!|SKIP|Totals)|Loc: |failure location'
    return "$status"
}
port_tests_run() {
    own_tests "$work/winport.txt" || return 1
    tr -d '\r' <"$work/winport.txt" | sed -n 's/^Totals: /tst_winport: /p' >>"$work/figures"
}
check "the port's own tests: tst_winport.exe" port_tests_run
# Ctrl-C still stops the command when the program that started it had
# switched Ctrl-C off, which the command inherits: tst_winport is that parent.
ctrl_c_switched_off() {
    local before file=$work/ctrl-c-parent.jxf
    before=$(count COM11 OPENED)
    QUILLET_CLI=$(win "$installed/quillet-cli.exe") QUILLET_SILENT_PORT=COM11 \
        QUILLET_CTRL_C_FILE=$(win "$file") own_tests "$work/ctrl-c.txt" \
        ctrlCWhereTheParentSwitchedItOff &
    local parent=$!
    # Once the command waits for the drive; its Wine process by the file only it was given.
    wait_for 60 eval '[ "$(count COM11 OPENED)" -gt "$before" ]' &&
        kill -INT "$(pgrep -f "quillet-cli.exe receive .*ctrl-c-parent.jxf")"
    wait "$parent"
}
check "Ctrl-C where the parent switched it off: cancelled (exit 130)" ctrl_c_switched_off

# The windows, from the keyboard as a user would use them. No window manager
# runs on the virtual display: a window is focused, not activated.
page() { xdotool search --onlyvisible --name "page $1 of 3" | head -n 1; }
keys() { # keys PAGE KEY...
    local id
    id=$(page "$1")
    [ -n "$id" ] && xdotool windowfocus --sync "$id" key --delay 60 "${@:2}"
}
type_on() { # type_on PAGE TEXT
    local id
    id=$(page "$1")
    [ -n "$id" ] && xdotool windowfocus --sync "$id" type --delay 30 "$2"
}
# start_quillet [WINDIR]: the installed program, up to page 1. Wine sets
# windir itself; cmd's set changes it for the program it starts.
start_quillet() {
    wine cmd /c "${1:+set windir=$1&& }cd /d $(win "$installed")&& quillet.exe" &
    app=$!
    # The splash gives way to page 1 by itself after 4 seconds.
    wait_for 90 page 1
}
# ended: the program has ended; if not, every Windows program is ended, so
# that none is left behind to hold the Wine server.
ended() { wait_for 30 eval '! kill -0 $app' || { wineserver -k; return 1; }; }
# fill_page1 KIND-KEYS PORT FILE: the kind by keys, the port by typing its
# name into the list, the highest rate, the file typed, then Next.
fill_page1() {
    # Tab from Next: Cancel, About, Browse, the kind, the port, the rate, the file.
    keys 1 Tab Tab Tab Tab Home $1 Tab && type_on 1 "$2" && keys 1 Tab End Tab ctrl+a &&
        type_on 1 "$3" && keys 1 Return
}
# run_ended COMn WORD BEFORE: the drive logged WORD more often than BEFORE
# times, and the program has closed the port since.
run_ended() { [ "$(count "$1" "$2")" -gt "$3" ] && [ "$(tail -n 1 "$(drive_dir "$1")/log")" = CLOSED ]; }
finish() { # finish COMn WORD BEFORE: page 3's Finish once the run has ended
    # The run is over before the port closes: Finish now ends the program.
    wait_for 60 run_ended "$@" && keys 3 Return && ended
}
wizard_receive() {
    local before
    before=$(count COM12 TX-DONE)
    start_quillet || return 1
    fill_page1 Down COM12 "$(win "$work/wizard.jxf")" || return 1
    wait_for 30 page 3 && finish COM12 TX-DONE "$before"
}
wizard_send() {
    local before
    before=$(count COM10 'RX 7643')
    start_quillet || return 1
    fill_page1 End COM10 "$(win "$samples/params.jxf")" || return 1
    wait_for 30 page 2 && keys 2 Return && finish COM10 'RX 7643' "$before"
}
check "wizard: a receive from COM12 at 57600 through its three pages" wizard_receive
check "wizard: received byte for byte" same "$work/wizard.jxf" "$samples/params.jxf" eof
check "wizard: a send to COM10 at 57600 through its three pages" wizard_send
check "wizard: sent byte for byte" same "$work/wizard-sent.jxf" "$samples/params.jxf"

# The settings of the last run: a send, the file, COM10 (after COM1 to COM8)
# and 57600, in the Windows folder.
windows_dir=$(to_unix 'C:\windows')
app_data=$(to_unix "$(wine cmd /c echo '%APPDATA%' | tr -d '\r')")
settings_of_send() {
    printf '2\r\n%s\r\n8\r\n8\r\n' "$(win "$samples/params.jxf")" >"$work/settings"
    head -n 4 "$windows_dir/jxf.ini" | cmp "$work/settings" -
}
check "settings in the Windows folder: the send's choices" settings_of_send
check "no settings in %APPDATA% while the Windows folder takes them" \
    test ! -e "$app_data/Quillet/jxf.ini"
# A Windows folder that takes no file (root passes every permission check, so
# a plain file stands where the folder would be): the settings go to %APPDATA%.
touch "$work/not-a-folder"
run_quillet_to_end() { start_quillet "$@" && keys 1 Escape && ended; }
check "the wizard ends with an unwritable Windows folder" \
    run_quillet_to_end "$(win "$work/not-a-folder")"
check "settings in %APPDATA%" test -f "$app_data/Quillet/jxf.ini"
# From then on %APPDATA% is read first and written, even where the Windows
# folder would take the file, which keeps the send's choices untouched.
personal_first() {
    local personal=$app_data/Quillet/jxf.ini shared=$windows_dir/jxf.ini
    cp "$shared" "$work/shared-before" && cp "$personal" "$work/personal-before" || return 1
    ! cmp -s "$work/shared-before" "$work/personal-before" || return 1
    run_quillet_to_end || return 1
    cmp "$work/shared-before" "$shared" && cmp "$work/personal-before" "$personal" &&
        [ "$personal" -nt "$work/personal-before" ]
}
check "settings: %APPDATA% read and written first once it holds them" personal_first

# Removal.
check "silent uninstall" wine "$installed/uninstall.exe" /S
wineserver -w
check "programs removed" test ! -e "$installed/quillet.exe"
check "removed from Apps & features" exits 1 \
    wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillet'

[ -f "$work/figures" ] && cat "$work/figures"
echo "test-wine.sh took $SECONDS s"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]

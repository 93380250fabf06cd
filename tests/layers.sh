#!/usr/bin/env bash
# Checks the program's layers from the #include lines of its sources:
#   settings/  includes nothing of the program's other folders
#   transfer/  settings/ and transfer/ only (no report, no windows, no start-up)
#   report/    settings/, transfer/ and report/ only
#   ui/        anything but app/, and never the serial port itself
#   cli/       the engine (settings/, transfer/, report/), nothing of the windows
# Every line that breaks a rule is printed; the status is 1 if there is one.
#
#   tests/layers.sh [source folder]
set -u
cd "${1:-$(dirname "$0")/..}" || exit 2

status=0
# folder, then the pattern of the includes it must not have
check() {
    local folder="$1" forbidden="$2" found
    found=$(grep -nE "^[[:space:]]*#[[:space:]]*include[[:space:]]*\"($forbidden)" \
        "$folder"/*.h "$folder"/*.cpp 2>/dev/null)
    if [ -n "$found" ]; then
        echo "$folder/ includes what its layer must not:"
        echo "$found"
        status=1
    fi
}

check settings 'transfer/|report/|ui/|app/'
check transfer 'report/|ui/|app/'
check report 'ui/|app/'
check ui 'app/|transfer/commport\.h'
check cli 'ui/|app/'

# The command runs without a display: no window or painting class of Qt's.
found=$(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<Q(Widget|Application|Gui|Painter|Window)' \
    cli/*.h cli/*.cpp)
if [ -n "$found" ]; then
    echo "cli/ uses the window libraries:"
    echo "$found"
    status=1
fi

# The port belongs to the transfer session; no window names its class.
found=$(grep -nwE 'CommPort|QSerialPort' ui/*.h ui/*.cpp)
if [ -n "$found" ]; then
    echo "ui/ reaches the serial port itself:"
    echo "$found"
    status=1
fi
[ "$status" -eq 0 ] && echo "layers: every include keeps to its layer"
exit "$status"

#!/usr/bin/env bash
# Starts Quillet against the simulated drive, with a settings folder of its
# own: the user's settings file and real serial ports are never touched.
#   demo.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
demo="${XDG_CACHE_HOME:-$HOME/.cache}/quillet-demo"
config="$demo/config"
links="$config/quillet/dosdevices"
files="$demo/files"
mkdir -p "$links" "$files"

# COM1 is the simulated drive; every other number leads nowhere, so that a
# wrong choice shows the port message instead of opening a real port.
for n in 2 3 4 5 6 7 8; do
    ln -sfn "/nonexistent/quillet-demo-com$n" "$links/com$n"
done
for sample in drive-dump.mmi params.jxf; do
    [ -e "$files/$sample" ] || cp "$source_dir/tools/drivesim/samples/$sample" "$files/"
done

# The drive's front panel: choose a function on its serial-link menu as you
# would on a real drive, at the baud rate chosen on page 1.
cmake --build "$build" --target drivesim-panel >/dev/null
"$build/tools/drivesim/panel/drivesim-panel" --settings-dir "$config/quillet" --com 1 --baud 9600 \
    --receive-file "$files/received-by-drive.jxf" \
    --dump-file "$source_dir/tools/drivesim/samples/drive-dump.mmi" \
    --params-file "$source_dir/tools/drivesim/samples/params.jxf" </dev/null &
sim=$!
trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
    [ -L "$links/com1" ] && [ -e "$links/com1" ] && break
    sleep 0.1
done

echo "Demo: COM1 is the simulated drive in the \"Simulated drive\" window (9600 baud to start with); files are in $files" >&2
# Where each COM number leads here, in the words of quillet-cli ports and of
# page 1's tooltips.
env -u windir XDG_CONFIG_HOME="$config" "$build/cli/quillet-cli" ports | sed -n '/^COM/p' >&2
cd "$files"
env -u windir XDG_CONFIG_HOME="$config" "$build/app/quillet"

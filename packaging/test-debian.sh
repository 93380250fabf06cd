#!/usr/bin/env bash
# Installs the Debian package in a clean tree of a Debian release and starts
# Quillet there: once offscreen (it must still be running after a second), and once on a
# virtual X display of this machine, where its window must appear. When the
# package holds quillet-cli, that runs there too, with no display and no
# window libraries, and receives a parameter file from the installed simulated drive.
# It also checks that the package brings the font the windows are drawn for.
#   packaging/test-debian.sh RELEASE PACKAGE.deb [ROOT]
# RELEASE is 12 (bookworm) or 13 (trixie). ROOT (default
# /var/tmp/quillet-debtest/<codename>) is made with debootstrap when it does not
# exist yet; the package is purged again at the end, so the tree can be reused.
# Needs root, debootstrap, and Xvfb plus xdotool for the window check.
set -euo pipefail
if [ $# -lt 2 ]; then
    echo "usage: $0 RELEASE PACKAGE.deb [ROOT]   (RELEASE: 12 or 13)" >&2
    exit 2
fi
case "$1" in
12 | bookworm) release=12 codename=bookworm ;;
13 | trixie) release=13 codename=trixie ;;
*)
    echo "$1 is no release this test knows: give 12 or 13" >&2
    exit 2
    ;;
esac
deb=$(realpath "$2")
root=${3:-/var/tmp/quillet-debtest/$codename}
# The archive this machine's own packages come from (DEBIAN_MIRROR overrides it).
machine_mirror() {
    local sources=/etc/apt/sources.list.d/debian.sources
    if [ -f "$sources" ]; then
        awk '$1 == "URIs:" { print $2; exit }' "$sources"
    else
        sed -n -E 's/^deb( \[[^]]*\])? ([^ ]+) .*/\2/p' /etc/apt/sources.list | head -n 1
    fi
}
mirror=${DEBIAN_MIRROR:-$(machine_mirror)}
[ -n "$mirror" ] || { echo "no Debian mirror in this machine's apt sources; set DEBIAN_MIRROR" >&2; exit 1; }
display=:97

if [ ! -x "$root/usr/bin/apt-get" ]; then
    mkdir -p "$root"
    debootstrap --variant=minbase "$codename" "$root" "$mirror"
fi

mounted=()
xvfb=
cleanup() {
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount "${mounted[i]}" || true; done
}
trap cleanup EXIT
bind() {
    mkdir -p "$root$1"
    mount --bind "$1" "$root$1"
    mounted+=("$root$1")
}
mount -t proc proc "$root/proc" && mounted+=("$root/proc")
bind /dev/pts
cp /etc/resolv.conf "$root/etc/resolv.conf"
# A UTF-8 locale, as a user's session has; in C, Qt 6.8 warns on every start.
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }

cp "$deb" "$root/tmp/quillet.deb"
in_root apt-get update -qq
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq /tmp/quillet.deb
echo "== installed files"
in_root dpkg -L quillet | grep -E 'bin/|\.desktop|metainfo|man1|256x256|doc/|completions/'
in_root test -s /usr/share/icons/hicolor/48x48/apps/quillet.png
# The windows are laid out for Arial's metrics: the package brings Debian's font
# that has them, and the family resolves to it.
# (fc-match is fontconfig's tool, not a library the program needs.)
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    fontconfig >/dev/null
arial=$(in_root fc-match Arial)
echo "Arial resolves to: $arial"
grep -q '^Liberation' <<<"$arial" ||
    { echo "FAIL: Arial does not resolve to a font with its metrics" >&2; exit 1; }
echo "== --version, without a display"
in_root quillet --version
in_root quillet-drivesim --version

if in_root dpkg -L quillet | grep -qx /usr/bin/quillet-cli; then
    echo "== quillet-cli, without a display"
    in_root test -s /usr/share/man/man1/quillet-cli.1.gz
    in_root test -s /usr/share/bash-completion/completions/quillet-cli
    libraries=$(in_root ldd /usr/bin/quillet-cli)
    if grep -q 'libQt6\(Widgets\|Gui\)' <<<"$libraries"; then
        echo "FAIL: quillet-cli links the window libraries" >&2
        exit 1
    fi
    usage=$(in_root quillet-cli --help)
    sed -n 1,3p <<<"$usage"
    in_root quillet-cli --version
    in_root quillet-cli check /usr/share/quillet/samples/params.jxf
    echo "ok: quillet-cli runs and finds the sample parameter file intact"
    # A receive from the installed simulated drive, as a script runs one.
    in_root sh -c 'dir=$(mktemp -d)
        quillet-drivesim --settings-dir "$dir" --com 1 --baud 57600 \
            --transmit /usr/share/quillet/samples/params.jxf >/dev/null &
        drive=$!
        for _ in $(seq 50); do [ -e "$dir/dosdevices/com1" ] && break; sleep 0.1; done
        status=0
        windir="$dir" quillet-cli receive "$dir/got.jxf" --port COM1 --baud 57600 --force \
            --compare-with /usr/share/quillet/samples/params.jxf 2>"$dir/err" || status=$?
        cat "$dir/err" >&2
        # The command speaks for itself ("quillet-cli: ..."); a line from Qt is a fault.
        if grep -q "^Q[A-Za-z]*: " "$dir/err"; then echo "FAIL: Qt warned" >&2; status=1; fi
        kill "$drive"; wait "$drive"; rm -rf "$dir"; exit $status'
    echo "ok: quillet-cli received the drive's parameter file, the same data as the sample"
else
    echo "(this package holds no quillet-cli: its checks are left out)"
fi

echo "== offscreen start"
status=0
in_root env QT_QPA_PLATFORM=offscreen timeout 2 quillet || status=$?
if [ "$status" -ne 124 ]; then
    echo "FAIL: quillet ended by itself (exit $status) instead of running" >&2
    exit 1
fi
echo "ok: still running after 2 s, ended by the test"

if command -v Xvfb >/dev/null && command -v xdotool >/dev/null; then
    echo "== window on a virtual display"
    Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp &
    xvfb=$!
    sleep 1
    bind /tmp/.X11-unix
    in_root env DISPLAY="$display" timeout 6 quillet &
    app=$!
    found=
    for _ in $(seq 40); do
        if DISPLAY="$display" xdotool search --onlyvisible --name 'Quillet' >/dev/null 2>&1; then
            found=yes
            break
        fi
        sleep 0.1
    done
    DISPLAY="$display" xdotool search --onlyvisible --name '.' getwindowname %@ 2>/dev/null |
        sed 's/^/window: /' || true
    wait "$app" || true
    [ -n "$found" ] || { echo "FAIL: no Quillet window appeared" >&2; exit 1; }
    echo "ok: the window appeared through the xcb platform plugin"
fi

in_root env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq quillet >/dev/null
echo "PASS: the package installs and starts on Debian $release ($codename)"

#!/bin/sh
# Makes a real default printer for the report's print test: CUPS with the
# cups-pdf virtual printer "PDF", which writes each job as a PDF file.
# Safe to run again and again; it never fails the test run, since the print
# test skips itself (and says why) when the print system is not there.

QUEUE=PDF
PPD=lsb/usr/cups-pdf/CUPS-PDF_opt.ppd
PACKAGES="cups printer-driver-cups-pdf poppler-utils"

say() { echo "setup-printer: $*"; }

as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
        sudo -n "$@"
    else
        return 126
    fi
}

missing=""
for p in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" \
        || missing="$missing $p"
done
if [ -n "$missing" ]; then
    if [ "$(id -u)" -ne 0 ] && ! { command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; }; then
        say "not root and no sudo, cannot install:$missing; the print test will skip"
        exit 0
    fi
    say "installing$missing"
    export DEBIAN_FRONTEND=noninteractive
    if ! as_root apt-get install -y -q --no-install-recommends $missing >/dev/null 2>&1; then
        as_root apt-get update -q >/dev/null 2>&1
        if ! as_root apt-get install -y -q --no-install-recommends $missing >/dev/null; then
            say "could not install:$missing; the print test will skip"
            exit 0
        fi
    fi
fi

if ! command -v cupsd >/dev/null 2>&1; then
    say "cupsd is not installed; the print test will skip"
    exit 0
fi

# Without a service manager (containers, CI) nobody starts cupsd for us.
if ! lpstat -r 2>/dev/null | grep -q "is running"; then
    say "starting cupsd"
    as_root mkdir -p /run/cups
    if ! as_root cupsd; then
        say "cupsd did not start; the print test will skip"
        exit 0
    fi
    tries=0
    while ! lpstat -r 2>/dev/null | grep -q "is running"; do
        tries=$((tries + 1))
        if [ "$tries" -ge 50 ]; then
            say "cupsd does not answer; the print test will skip"
            exit 0
        fi
        sleep 0.1
    done
fi

if ! lpstat -p "$QUEUE" >/dev/null 2>&1; then
    say "adding printer $QUEUE"
    if ! as_root lpadmin -p "$QUEUE" -v cups-pdf:/ -E -m "$PPD"; then
        say "could not add printer $QUEUE; the print test will skip"
        exit 0
    fi
fi
# The default PDF-to-PostScript step on the way to cups-pdf turns the text
# into glyphs that pdftotext cannot read back; cairo's keeps it readable.
as_root lpadmin -p "$QUEUE" -o pdftops-renderer-default=pdftocairo 2>/dev/null
as_root cupsenable "$QUEUE" 2>/dev/null
as_root cupsaccept "$QUEUE" 2>/dev/null
if ! as_root lpoptions -d "$QUEUE" >/dev/null; then
    say "could not make $QUEUE the default printer"
fi
say "default printer: $(lpstat -d 2>/dev/null)"
exit 0

#!/usr/bin/env bash
# Prints the definite leaks of a Valgrind memcheck log that are Quillet's own.
#
#   tests/leaks/ownleaks.sh LOG
#
# A loss record runs from its "definitely lost" line to the next blank line.
# It is the program's own when a frame of its stack names one of Quillet's
# source files, unless the frame of ours nearest the allocation is where it
# constructs the application object (the frame above it is the constructor or
# its init()): what that loses (Qt 6.8's desktop services, for one) is Qt's,
# since the program only hands it argc and argv. Leaks wholly inside system
# libraries are not the program's either.
set -euo pipefail
log=$(realpath "$1")
cd "$(dirname "$0")/../.."
sources=$(find app ui report settings transfer -name '*.cpp' -printf '%f\n' -o -name '*.h' -printf '%f\n' |
    sed 's/\./\\./g' | paste -sd'|')
awk -v own="\\((${sources}):[0-9]+\\)" \
    -v start='Q(Gui|Core)?Application(::Q(Gui|Core)?Application|Private::init)\\(' '
    /definitely lost in loss record/ { inrec = 1; rec = $0; mine = 0; decided = 0; callee = ""; next }
    inrec && /^==[0-9]+== *$/ { if (mine) print rec "\n"; inrec = 0; next }
    inrec {
        rec = rec "\n" $0
        if (decided || $0 !~ /^==[0-9]+== +(at|by) 0x/) next
        if ($0 ~ own) { decided = 1; mine = callee !~ start; next }
        callee = $0
    }
' "$log"

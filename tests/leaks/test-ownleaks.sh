#!/usr/bin/env bash
# The leak filter on real memcheck logs of Qt 6.8: in each *.own.log it must
# find exactly one leak of the program's own (made on purpose, beside Qt's own
# loss at start-up), in each *.others.log none.
#
#   tests/leaks/test-ownleaks.sh
set -u
cd "$(dirname "$0")"
passed=0 failed=0
for log in *.own.log *.others.log; do
    found=$(./ownleaks.sh "$log") || found="(the filter failed)"
    expected=0
    [[ $log == *.own.log ]] && expected=1
    records=$(grep -c 'definitely lost in loss record' <<<"$found")
    if [ "$records" -eq "$expected" ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAIL: $log: $records leak(s) of the program's own found, $expected expected" >&2
        printf '%s\n' "$found" >&2
    fi
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]

#!/usr/bin/env bash
# Builds the libFuzzer targets for the settings reader and the send-file
# checks, then runs each for a bounded time.
#
#   tests/fuzz/fuzz.sh [seconds per target]     (default 5)
#
# The checked-in seeds are copied to a working corpus under the build folder,
# so a run never changes the tree. A crash leaves its input in the build folder
# and fails the script; make it a regression seed in corpus/<target>/.
set -euo pipefail
cd "$(dirname "$0")/../.."
source tools/scripts/deps.sh
quillet_ensure_packages clang libclang-rt-14-dev qt6-base-dev pkg-config

seconds="${1:-5}"
out="${QUILLET_FUZZ_BUILD:-build-fuzz}"
mkdir -p "$out"

read -r -a qt <<<"$(pkg-config --cflags --libs Qt6Core)"
flags=(-std=c++20 -g -O1 -fPIC -I. -DQT_NO_KEYWORDS -DQT_NO_CAST_FROM_ASCII
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
    -Wall -Wextra -Werror)

build() { # target sources...
    local target="$1"
    shift
    clang++ "${flags[@]}" "tests/fuzz/$target.cpp" "$@" "${qt[@]}" -o "$out/$target"
}
build fuzz_settings settings/settingsfile.cpp settings/settingsfolder_posix.cpp
build fuzz_sendfile transfer/transferfile.cpp transfer/hexcheck.cpp transfer/hexrecord.cpp \
    transfer/paramimage.cpp

status=0
for target in settings sendfile; do
    work="$out/corpus-$target"
    mkdir -p "$work"
    cp -n tests/fuzz/corpus/$target/* "$work/"
    echo "fuzz_$target: ${seconds} s" >&2
    if ! ASAN_OPTIONS="detect_leaks=1" "$out/fuzz_$target" -max_total_time="$seconds" \
        -max_len=4096 -print_final_stats=1 -artifact_prefix="$out/crash-$target-" \
        "$work" 2>"$out/fuzz_$target.log"; then
        tail -n 40 "$out/fuzz_$target.log" >&2
        status=1
    else
        grep -E '^stat::number_of_executed_units' "$out/fuzz_$target.log" >&2 || true
    fi
done
exit "$status"

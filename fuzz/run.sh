#!/usr/bin/env bash
# Builds the fuzz targets with clang (ASan, UBSan, libFuzzer) and runs
# each for a bounded time on a copy of the committed seed corpus. Exits
# non-zero when any finds anything; the input that did it is kept in
# <build dir>/fuzz-artifacts/.
#
#   fuzz/run.sh [build dir (default build-fuzz)] [seconds per target (default 60)]
#
# Works on a fresh Debian 12; installs what it needs (as root, or with sudo).
set -euo pipefail

build=${1:-build-fuzz}
seconds=${2:-60}
case "$build" in
    /*) ;;
    *) build="$PWD/$build" ;;
esac
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -eq 0 ]; then
    echo "run.sh: the time per target must be a whole number of seconds, not '$seconds'" >&2
    exit 2
fi
cd "$(dirname "$0")/.."
repo=$PWD

bash scripts/packages.sh clang libclang-rt-14-dev

CC=clang CXX=clang++ cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DRFID_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target fuzz_receive fuzz_operator fuzz_ctl fuzz_reception -j"$(nproc)"

export QT_QPA_PLATFORM=offscreen
# Leaks are looked for once, when the fuzzer ends (a leak fails the run and
# LeakSanitizer names where the memory was taken). libFuzzer's own check
# after each input is off: the target keeps one window for all its runs, so
# the heap grows and shrinks with the inputs, and each suspect costs a full
# heap scan; it would spend the first minute on them and then give up.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:check_initialization_order=1:detect_stack_use_after_return=1"
export LSAN_OPTIONS="suppressions=$repo/fuzz/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

failed=0
run() {
    local name=$1 maxlen=$2 corpus=$3
    local work="$build/fuzz-corpus/$corpus" artifacts="$build/fuzz-artifacts/$name"
    local log="$build/fuzz-logs/$name.log"
    # A fresh copy each time: the fuzzer adds to its corpus, the repository's stays as committed.
    rm -rf "$work" "$artifacts"
    mkdir -p "$work" "$artifacts" "$(dirname "$log")"
    cp -r "$repo/fuzz/corpus/$corpus/." "$work/"

    echo "== $name: $seconds s"
    local status=0
    "$build/fuzz/$name" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=4096 -max_len="$maxlen" \
        -detect_leaks=0 -print_final_stats=1 -artifact_prefix="$artifacts/" "$work" >"$log" 2>&1 || status=$?
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb):' "$log" || true
    if [ "$status" -ne 0 ] || [ -n "$(ls -A "$artifacts")" ]; then
        echo "== $name FOUND SOMETHING (exit $status); log $log, input in $artifacts:" >&2
        ls -l "$artifacts" >&2
        grep -v -E '^#[0-9]+\s+(NEW|REDUCE|pulse)' "$log" | tail -60 >&2
        failed=1
    fi
}

run fuzz_receive 800 receive
run fuzz_operator 512 operator
run fuzz_ctl 2048 ctl
run fuzz_reception 800 reception

exit $failed

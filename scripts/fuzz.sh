#!/usr/bin/env bash
# The libFuzzer targets of the program's two untrusted inputs, built with
# clang in build-fuzz/ (with AddressSanitizer and UndefinedBehaviorSanitizer):
#   dialogue   arbitrary bytes as the answers on standard input
#   picture    arbitrary bytes as the obstacle picture (two bytes of grid first)
# Seeds live in tests/data/fuzz/<target>/.
#
#   bash scripts/fuzz.sh ci                 each target for a minute on a copy of its seeds (CI)
#   bash scripts/fuzz.sh picture 3600       one target for an hour, growing build-fuzz/corpus/picture
#   bash scripts/fuzz.sh dialogue 600 -jobs=2 -workers=2   extra words go to libFuzzer
#
# A longer run keeps what it learns in build-fuzz/corpus/<target>/ and
# starts from there next time. A crash, a hang or a sanitizer report stops
# the run and leaves the input in build-fuzz/findings/; replay it with
#   build-fuzz/fuzz/fuzz_<target> build-fuzz/findings/<file>
# and, once fixed, copy it into tests/data/fuzz/<target>/ so that the normal
# tests (tests/fuzz/corpus_test.cpp) replay it for good.
set -euo pipefail
cd "$(dirname "$0")/.."

targets=(dialogue picture)

build() {
    VELTARO_FUZZ=1 bash scripts/setup.sh
    CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DVELTARO_FUZZ=ON -DVELTARO_BENCH=OFF -DVELTARO_OPENMP=OFF \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]/#/fuzz_}"
    mkdir -p build-fuzz/findings
}

# fuzz <target> <seconds> <corpus folder> [libFuzzer options...]
fuzz() {
    local target=$1 seconds=$2 corpus=$3
    shift 3
    local log=build-fuzz/findings/$target.log
    local status=0
    echo "== fuzz_$target for ${seconds}s (log: $log)"
    # -close_fd_mask=3 keeps the decoder's warnings out of the log; libFuzzer
    # and the sanitizers still report on a copy of standard error. The outer
    # timeout is only a net for a fuzzer that would not stop by itself.
    ASAN_OPTIONS=detect_leaks=1:exitcode=86 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:exitcode=86 \
        timeout --signal=KILL $((seconds + 120)) "build-fuzz/fuzz/fuzz_$target" "$corpus" \
        -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -close_fd_mask=3 \
        -print_final_stats=1 -artifact_prefix="build-fuzz/findings/$target-" "$@" >"$log" 2>&1 ||
        status=$?
    grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)|^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$log" || true
    if [[ $status != 0 ]]; then
        tail -n 60 "$log" >&2
        echo "fuzz_$target found a problem (status $status); the input is in build-fuzz/findings/" >&2
        return 1
    fi
}

case "${1:-ci}" in
    ci)
        build
        for target in "${targets[@]}"; do
            # A copy, so that CI never grows the seeds kept in the repository.
            work=$(mktemp -d)
            cp -r "tests/data/fuzz/$target/." "$work"
            status=0
            fuzz "$target" 60 "$work" || status=$?
            rm -rf "$work"
            [[ $status == 0 ]] || exit "$status"
        done
        ;;
    dialogue | picture)
        target=$1
        seconds=${2:-600}
        shift $(($# < 2 ? $# : 2))
        build
        corpus=build-fuzz/corpus/$target
        mkdir -p "$corpus"
        cp -rn "tests/data/fuzz/$target/." "$corpus"
        fuzz "$target" "$seconds" "$corpus" "$@"
        ;;
    *)
        sed -n '2,20p' "$0" >&2
        exit 2
        ;;
esac

#!/usr/bin/env bash
# Builds and runs every test, as CI does, in this order:
#   1. the Release build's tests (build/), the studio's API and page last;
#   2. the documented Slurm commands on a one-node Slurm (scripts/test-slurm.sh),
#      and two small runs of the Release program under valgrind memcheck;
#   3. the whole test suite again under AddressSanitizer, UndefinedBehavior-
#      Sanitizer and LeakSanitizer (scripts/sanitize.sh, build-asan/);
#   4. each fuzz target for a minute on a copy of its seeds (scripts/fuzz.sh, build-fuzz/).
set -euo pipefail
cd "$(dirname "$0")/.."
VELTARO_SANITIZE=1 VELTARO_FUZZ=1 VELTARO_MEMCHECK=1 VELTARO_BROWSER=1 bash scripts/setup.sh
# The sweep and validation scripts' tests need GNU parallel and matplotlib.
bash scripts/setup-scripts.sh parallel matplotlib
bash scripts/build.sh
ctest --test-dir build --output-on-failure -j"$(nproc)" -LE "api|browser"
# The studio: its API against a real server, then its page in a browser.
echo "== studio API (ctest -L api)"
ctest --test-dir build --output-on-failure -L api
echo "== studio page (ctest -L browser)"
ctest --test-dir build --output-on-failure -L browser

# The README's cluster commands, as written, on a one-node Slurm started for
# the purpose (skipped, saying so, where Slurm cannot be installed).
bash scripts/test-slurm.sh build/veltaro

# Reads of uninitialised memory, which the sanitizers do not look for, and
# leaks, in the program and in the two libraries it calls: a complete run,
# and a picture refused half-way through its decoding.
memcheck() {
    local expected=$1 answers=$2 status=0
    (cd "$work" && OMP_NUM_THREADS=1 valgrind --quiet --log-file=memcheck.log --error-exitcode=86 --leak-check=full \
        --show-leak-kinds=definite,indirect --errors-for-leak-kinds=definite,indirect \
        "$OLDPWD/build/veltaro" <<<"$answers" >/dev/null 2>&1) || status=$?
    if [[ $status != "$expected" ]]; then
        cat "$work/memcheck.log" >&2
        echo "valgrind memcheck of \"$answers\": status $status, not $expected (86 is a memcheck error)" >&2
        exit 1
    fi
}
echo "== valgrind memcheck"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp tests/data/regression/disc.jpg "$work/"
head -c 400 tests/data/regression/disc.jpg >"$work/cut.jpg"
memcheck 1 "disc.jpg 20 0.01 1 1 2.4 0 5"
memcheck 2 "cut.jpg 20 0.01 1 1 2.4 0 5"

bash scripts/sanitize.sh
bash scripts/fuzz.sh ci

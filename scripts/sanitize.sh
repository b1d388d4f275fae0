#!/usr/bin/env bash
# Builds the program and its tests with AddressSanitizer, UndefinedBehavior-
# Sanitizer and LeakSanitizer in build-asan/ and runs the whole test suite
# there, the end-to-end tests included: they run build-asan's own program.
# -O1 keeps the longest end-to-end runs quick.
#
#   bash scripts/sanitize.sh
set -euo pipefail
cd "$(dirname "$0")/.."
VELTARO_SANITIZE=1 bash scripts/setup.sh
cmake -S . -B build-asan -G Ninja -DVELTARO_SANITIZE=ON -DVELTARO_BENCH=OFF \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" >/dev/null
cmake --build build-asan -j"$(nproc)"

# A sanitizer report ends the process with status 1 by default, which is
# this program's status for a complete run: 86 cannot be mistaken for it.
export ASAN_OPTIONS=detect_leaks=1:exitcode=86:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:exitcode=86
export LSAN_OPTIONS=exitcode=86
# The page's browser tests check the page, not the C++: the Release stage
# runs them, and the API tests drive the sanitized server here. The physics
# checks are long runs of code the other tests already cover.
ctest --test-dir build-asan --output-on-failure -j"$(nproc)" -LE 'browser|physics'

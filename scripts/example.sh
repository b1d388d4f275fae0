#!/usr/bin/env bash
# Builds the program and runs it on the shipped cylinder, in example-output/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
mkdir -p example-output
cd example-output
cp ../examples/cylinder.jpg .
status=0
../build/veltaro < ../examples/cylinder.answers || status=$?
# A complete run ends with status 1.
if [[ $status != 1 ]]; then
    echo "The example run failed (exit status $status)." >&2
    exit 1
fi
echo
echo "The results are in $(pwd): velocity.jpg, pressure.jpg, U.jpg, V.jpg, U.dat, V.dat, P.dat, convergence.txt"

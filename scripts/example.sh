#!/usr/bin/env bash
# Builds the program and runs it on the shipped cylinder, in example-output/,
# with the method the validation page recommends for results to trust (the
# program's defaults, without these options, reproduce earlier results:
# build/veltaro < examples/cylinder.answers).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
mkdir -p example-output
cd example-output
cp ../examples/cylinder.jpg .
status=0
../build/veltaro --solid-nodes=outline --advection=second-order --stop-rule=steady --pressure-solver=fft \
    < ../examples/cylinder.answers || status=$?
# A complete run ends with status 1.
if [[ $status != 1 ]]; then
    echo "The example run failed (exit status $status)." >&2
    exit 1
fi
echo
echo "The results are in $(pwd): velocity.jpg, pressure.jpg, U.jpg, V.jpg, U.dat, V.dat, P.dat, convergence.txt"

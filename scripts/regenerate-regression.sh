#!/usr/bin/env bash
# Rewrites the expected files of the byte-for-byte regression case from the
# current build. Only for a change of results that is meant: say why in the
# commit.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
case_dir=tests/data/regression
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$case_dir/disc.jpg" "$work/"
status=0
(cd "$work" && "$OLDPWD/build/veltaro" < "$OLDPWD/$case_dir/answers.txt" > console.txt 2> stderr.txt) || status=$?
[[ $status == 1 ]] || { echo "the run ended with status $status" >&2; exit 1; }
for name in console.txt stderr.txt convergence.txt residual.txt U.dat V.dat P.dat U.jpg V.jpg pressure.jpg velocity.jpg \
    flow.vtk convergence.svg; do
    cp "$work/$name" "$case_dir/expected/$name"
done
# The wall time is the one value that differs from run to run.
sed -E 's/"seconds": [^,}]+/"seconds": 0/' "$work/summary.json" >"$case_dir/expected/summary.json"
echo "Rewrote $case_dir/expected/"

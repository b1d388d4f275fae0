#!/usr/bin/env bash
# scripts/sweep.sh end to end, with the built program: a sweep whose second
# case is refused finishes the first, names the failure with its exit status
# and message, keeps the failed row in results.csv, and exits 1; started
# again it runs nothing that already finished. (A bad cases CSV, refused
# before anything runs, is test_sweep.py's CasesCsv: sweep.sh execs sweep.py.)
#   bash tests/scripts/sweep_test.sh PROGRAM
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
export VELTARO=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "sweep test: $*" >&2; exit 1; }

cp "$root/examples/cylinder.jpg" "$work/"
header="name,picture,reynolds_number,kinematic_viscosity,density,tunnel_height,tunnel_length,mesh_choice,max_iterations"
printf '%s\nfine,cylinder.jpg,20,0.01,1,1,4,0,5\nrefused,cylinder.jpg,20,0.01,-1,1,4,0,5\n' \
    "$header" >"$work/cases.csv"

status=0
bash "$root/scripts/sweep.sh" "$work/cases.csv" "$work/out" >"$work/log" 2>&1 || status=$?
[[ $status == 1 ]] || fail "exit status $status, not 1: $(cat "$work/log")"
grep -q "refused: exit status 2: The density must be a positive number" "$work/log" ||
    fail "the failed case is not named: $(cat "$work/log")"
grep -q "^fine,ok,1,cylinder.jpg,800,200," "$work/out/results.csv" || fail "no row for fine"
grep -q "^refused,failed,2," "$work/out/results.csv" || fail "no row for refused"

touch -d '2000-01-01' "$work/out/fine/summary.json"
bash "$root/scripts/sweep.sh" "$work/cases.csv" "$work/out" >"$work/log" 2>&1 || true
[[ $(date -r "$work/out/fine/summary.json" +%Y) == 2000 ]] || fail "a finished case ran again"
echo "sweep test: passed"

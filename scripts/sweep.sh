#!/usr/bin/env bash
# Runs Veltaro once per row of a cases CSV, each case in its own folder, in
# parallel, then gathers every case's summary.json into one results.csv.
#
#   scripts/sweep.sh CASES.csv OUTDIR [-j N]       run all cases, N at a time
#                                                  (default one per core), then gather
#   scripts/sweep.sh --case CASES.csv OUTDIR ROW   run one case: ROW 1 is the first
#                                                  row under the header (what each
#                                                  parallel job and each Slurm array
#                                                  task of scripts/sweep.sbatch runs)
#   scripts/sweep.sh --gather CASES.csv OUTDIR     only gather OUTDIR/*/summary.json
#                                                  into OUTDIR/results.csv
#   scripts/sweep.sh --count CASES.csv             print the number of cases (the
#                                                  size of a Slurm job array)
#
# CASES.csv starts with exactly this header line:
#   name,picture,reynolds_number,kinematic_viscosity,density,tunnel_height,tunnel_length,mesh_choice,max_iterations
# and has one case per line after it. Fields are separated by commas, with no
# quoting, and each is one word, because the program reads its answers as
# words. Blank lines are skipped. A picture path is relative to the CSV's
# folder. Names become folder names: no slash, each used once.
#
# OUTDIR/NAME/ gets a copy of the picture, answers.txt (the 8 answers, fed on
# standard input), console.txt (standard output), stderr.txt, exit_status and
# the program's own results. OUTDIR/results.csv has a header line, then one
# row per case in the CSV's order:
#   name,status,exit_status,<every summary.json key>
# with status ok, failed (exit status other than 1, the program's success),
# no summary (exit status 1 but no readable summary.json), or not run.
#
# The program is build/veltaro of this project unless VELTARO names another.
# OUTDIR/joblog.txt (GNU parallel's job log) makes an interrupted sweep
# resume when it is started again with the same CSV and OUTDIR: complete
# cases are not run again, failed and unfinished ones are. A changed CSV
# starts over (the old log is kept as joblog.txt.old).
#
# Exit status: 0 when every case is complete, 1 when some are not (after
# gathering the rest), 2 for bad arguments, a bad CSV or a missing program.
set -euo pipefail

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
self="$script_dir/$(basename "${BASH_SOURCE[0]}")"
header="name,picture,reynolds_number,kinematic_viscosity,density,tunnel_height,tunnel_length,mesh_choice,max_iterations"
# The keys of summary.json, in the order of results.csv's columns.
summary_keys=(picture picture_width picture_height reynolds_number kinematic_viscosity density
    tunnel_height tunnel_length mesh_choice max_iterations inlet_velocity nx ny dx iterations
    stop change_u change_v change_p lift drag frontal_height chord reynolds_frontal
    lift_coefficient drag_coefficient seconds)
# Files of the sweep itself in OUTDIR, which a case folder must not replace.
reserved_names=(results.csv joblog.txt joblog.txt.old cases.csv)

usage() {
    cat >&2 <<'EOF'
usage: scripts/sweep.sh CASES.csv OUTDIR [-j N]
       scripts/sweep.sh --case CASES.csv OUTDIR ROW
       scripts/sweep.sh --gather CASES.csv OUTDIR
       scripts/sweep.sh --count CASES.csv
EOF
    exit 2
}

die() {
    echo "sweep.sh: $*" >&2
    exit 2
}

# Reads and checks the whole CSV (every mode does, so that a row number means
# the same case everywhere). Fills case_names, case_pictures (absolute paths)
# and case_answers (the seven answers after the picture, blank-separated).
read_cases() {
    local csv=$1
    [[ -e $csv ]] || die "cases CSV not found: $csv"
    [[ -f $csv && -r $csv ]] || die "cases CSV is not a readable file: $csv"
    local csv_dir
    csv_dir=$(cd "$(dirname "$csv")" && pwd)
    case_names=()
    case_pictures=()
    case_answers=()
    local problems=() line number=0 seen_header=0
    local -A first_row_of=()
    while IFS= read -r line || [[ -n $line ]]; do
        number=$((number + 1))
        line=${line%$'\r'}
        if ((!seen_header)); then
            line=${line#$'\xef\xbb\xbf'}
            [[ $line == "$header" ]] ||
                die "$csv: the first line must be exactly the header
  $header
but it is
  $line"
            seen_header=1
            continue
        fi
        [[ $line == *[![:space:]]* ]] || continue
        local where="$csv line $number"
        if [[ $line == *'"'* ]]; then
            problems+=("$where: quoted fields are not supported (each field is one word)")
            continue
        fi
        local commas=${line//[^,]/}
        if ((${#commas} != 8)); then
            problems+=("$where: $((${#commas} + 1)) fields, but the header has 9")
            continue
        fi
        local raw fields=() field bad=0
        IFS=, read -r -a raw <<<"$line,"
        for field in "${raw[@]}"; do
            field=${field#"${field%%[![:space:]]*}"}
            field=${field%"${field##*[![:space:]]}"}
            if [[ -z $field ]]; then
                problems+=("$where: field $((${#fields[@]} + 1)) is empty")
                bad=1
            elif [[ $field == *[[:space:]]* ]]; then
                problems+=("$where: field $((${#fields[@]} + 1)) ('$field') has a blank in it; answers are one word each")
                bad=1
            fi
            fields+=("$field")
        done
        ((!bad)) || continue
        local name=${fields[0]} picture=${fields[1]}
        if [[ $name == */* || $name == . || $name == .. ]]; then
            problems+=("$where: the name '$name' cannot be a folder name (no slash, not . or ..)")
        elif [[ " ${reserved_names[*]} " == *" $name "* ]]; then
            problems+=("$where: the name '$name' is taken by the sweep's own $name")
        elif [[ -n ${first_row_of[$name]:-} ]]; then
            problems+=("$where: the name '$name' is already used on line ${first_row_of[$name]}")
        else
            first_row_of[$name]=$number
        fi
        [[ $picture == /* ]] || picture="$csv_dir/$picture"
        if [[ ! -f $picture || ! -r $picture ]]; then
            problems+=("$where: picture not found or not readable: $picture")
        fi
        case_names+=("$name")
        case_pictures+=("$picture")
        case_answers+=("${fields[*]:2}")
    done <"$csv"
    ((seen_header)) || die "$csv is empty; it needs the header line
  $header"
    if ((${#problems[@]})); then
        printf 'sweep.sh: %s\n' "${problems[@]}" >&2
        die "${#problems[@]} problem(s) in $csv; nothing was run"
    fi
    ((${#case_names[@]})) || die "$csv has no cases under its header"
}

# The program as an absolute path, so that it still works from a case folder.
find_program() {
    local program=${VELTARO:-$script_dir/../build/veltaro}
    if [[ $program != */* ]]; then
        program=$(command -v "$program") || die "program not found: ${VELTARO} (VELTARO names no command on the PATH)"
    fi
    [[ $program == /* ]] || program="$PWD/$program"
    if [[ -d $(dirname "$program") ]]; then
        program="$(cd "$(dirname "$program")" && pwd)/$(basename "$program")"
    fi
    if [[ ! -f $program || ! -x $program ]]; then
        if [[ -n ${VELTARO:-} ]]; then
            die "program not found or not executable: $program (from VELTARO)"
        fi
        die "program not found or not executable: $program (build it with: bash scripts/build.sh, or set VELTARO to the program)"
    fi
    printf '%s' "$program"
}

# The last non-blank line the program wrote on standard error.
stderr_line() {
    local line
    line=$(grep -v '^[[:space:]]*$' "$1" 2>/dev/null | tail -n 1) || true
    printf '%s' "${line:-(nothing on standard error)}"
}

run_case() {
    local csv=$1 outdir=$2 row=$3
    [[ $row =~ ^[1-9][0-9]*$ ]] || die "ROW must be a row number from 1, not '$row'"
    read_cases "$csv"
    ((row <= ${#case_names[@]})) || die "$csv has ${#case_names[@]} cases; there is no row $row"
    local program
    program=$(find_program)
    local name=${case_names[row - 1]} picture=${case_pictures[row - 1]}
    local folder="$outdir/$name" base
    base=$(basename "$picture")
    mkdir -p "$folder" || die "cannot create the case folder $folder"
    # Nothing of an earlier run of this case may pass for this run's result.
    rm -f "$folder/summary.json" "$folder/exit_status"
    [[ $picture -ef "$folder/$base" ]] || cp -f "$picture" "$folder/$base"
    local answers
    read -r -a answers <<<"${case_answers[row - 1]}"
    printf '%s\n' "$base" "${answers[@]}" >"$folder/answers.txt"
    local status=0
    (cd "$folder" && "$program" <answers.txt >console.txt 2>stderr.txt) || status=$?
    echo "$status" >"$folder/exit_status"
    if ((status != 1)); then
        echo "FAILED $name (exit status $status): $(stderr_line "$folder/stderr.txt")" >&2
        return 1
    fi
    if [[ ! -s $folder/summary.json ]]; then
        echo "FAILED $name: the run completed (exit status 1) but wrote no summary.json" >&2
        return 1
    fi
    local note=""
    if command -v jq >/dev/null; then
        note=$(jq -r 'def round3: if type == "number" then . * 1000 | round / 1000 else . end;
                "\(.stop), \(.iterations) iterations, C_D \(.drag_coefficient | round3), \(.seconds | round3) s"' \
            "$folder/summary.json" 2>/dev/null) || note=""
    fi
    echo "done   $name${note:+: $note}"
}

# jq program: one summary.json as the tail of a results.csv row. A field is
# quoted only when it must be, so that plain numbers stay plain.
# shellcheck disable=SC2016 # $keys and $k are jq's, not the shell's
gather_filter='
def field:
  if . == null then ""
  elif type == "string" then
    (if test("[\",\r\n]") then "\"" + gsub("\""; "\"\"") + "\"" else . end)
  elif type == "number" or type == "boolean" then tostring
  else tojson | "\"" + gsub("\""; "\"\"") + "\""
  end;
if type != "object" then error("not a JSON object") else . end
| [$keys[] as $k | .[$k] | field] | join(",")'

gather() {
    local csv=$1 outdir=$2
    read_cases "$csv"
    [[ -d $outdir ]] || die "no such OUTDIR: $outdir"
    bash "$script_dir/setup-scripts.sh" jq
    local keys_json
    keys_json=$(printf '%s\n' "${summary_keys[@]}" | jq -R . | jq -s -c .)
    local empty_tail
    empty_tail=$(printf ',%.0s' "${summary_keys[@]}")
    empty_tail=${empty_tail:1}
    local table="$outdir/results.csv.partial"
    local i name folder status values complete=0 problems=()
    (
        IFS=,
        echo "name,status,exit_status,${summary_keys[*]}"
    ) >"$table"
    for i in "${!case_names[@]}"; do
        name=${case_names[i]}
        folder="$outdir/$name"
        local exit_status=""
        [[ -f $folder/exit_status ]] && exit_status=$(<"$folder/exit_status")
        values=$empty_tail
        if [[ -z $exit_status ]]; then
            status="not run"
            problems+=("$name: not run")
        elif [[ $exit_status != 1 ]]; then
            status=failed
            problems+=("$name: exit status $exit_status: $(stderr_line "$folder/stderr.txt")")
        elif [[ ! -s $folder/summary.json ]]; then
            status="no summary"
            problems+=("$name: complete (exit status 1) but no summary.json")
        elif ! values=$(jq -r --argjson keys "$keys_json" "$gather_filter" "$folder/summary.json" 2>/dev/null); then
            values=$empty_tail
            status="no summary"
            problems+=("$name: summary.json is not a readable JSON object")
        else
            status=ok
            complete=$((complete + 1))
        fi
        # Names hold no comma or quote (the CSV could not carry them), so
        # they need no quoting here either.
        echo "$name,$status,$exit_status,$values" >>"$table"
    done
    mv -f "$table" "$outdir/results.csv"
    echo "results: $outdir/results.csv ($complete of ${#case_names[@]} cases complete)"
    if ((${#problems[@]})); then
        echo "${#problems[@]} of ${#case_names[@]} cases failed or did not run:" >&2
        printf '  %s\n' "${problems[@]}" >&2
        return 1
    fi
}

sweep() {
    local csv=$1 outdir=$2 jobs=$3
    read_cases "$csv"
    local program
    program=$(find_program)
    bash "$script_dir/setup-scripts.sh" parallel jq
    mkdir -p "$outdir" || die "cannot create OUTDIR $outdir"
    outdir=$(cd "$outdir" && pwd)
    local joblog="$outdir/joblog.txt" count=${#case_names[@]}
    # The job log knows cases by row number only, so it is only good for the
    # very CSV it was written for.
    if [[ -f $joblog ]] && ! cmp -s "$csv" "$outdir/cases.csv"; then
        mv -f "$joblog" "$joblog.old"
        echo "The cases differ from the last sweep into $outdir: running them all (old log: joblog.txt.old)."
    fi
    cp -f "$csv" "$outdir/cases.csv.partial" && mv -f "$outdir/cases.csv.partial" "$outdir/cases.csv"
    if [[ -f $joblog ]]; then
        local finished
        # The last entry per row counts: a failed case that was run again
        # appears twice.
        finished=$(awk -F'\t' 'NR > 1 { last[$1] = ($7 == 0 && $8 == 0) }
                               END { n = 0; for (s in last) n += last[s]; print n }' "$joblog")
        echo "Resuming: $finished of $count cases are complete from an earlier sweep and are not run again."
    fi
    echo "Running $count cases with $program into $outdir (jobs: $jobs)"
    export VELTARO=$program
    # Up to 254, parallel's exit status counts the failed cases, which the
    # gathering below names from the case folders; 255 is parallel itself
    # stopping (interrupted, or refusing its options).
    local status=0
    seq 1 "$count" |
        parallel --joblog "$joblog" --resume-failed --jobs "$jobs" --quote \
            bash "$self" --case "$csv" "$outdir" '{}' || status=$?
    if ((status == 255)); then
        die "GNU parallel stopped before every case ran (interrupted, or see its message above); the same command resumes the sweep"
    fi
    gather "$csv" "$outdir"
}

absolute() {
    if [[ $1 == /* ]]; then printf '%s' "$1"; else printf '%s' "$PWD/$1"; fi
}

case "${1:-}" in
-h | --help)
    sed -n '2,/^set -euo/p' "$self" | sed '$d' | sed 's/^# \{0,1\}//'
    exit 0
    ;;
--case)
    (($# == 4)) || usage
    run_case "$(absolute "$2")" "$(absolute "$3")" "$4"
    ;;
--gather)
    (($# == 3)) || usage
    gather "$(absolute "$2")" "$(absolute "$3")"
    ;;
--count)
    (($# == 2)) || usage
    read_cases "$(absolute "$2")"
    echo "${#case_names[@]}"
    ;;
*)
    positional=()
    jobs=100%
    while (($#)); do
        case "$1" in
        -j | --jobs)
            (($# >= 2)) || die "$1 needs a number of jobs"
            jobs=$2
            shift 2
            ;;
        -j?*) jobs=${1#-j} && shift ;;
        --jobs=*) jobs=${1#--jobs=} && shift ;;
        -*) echo "sweep.sh: unknown option $1" >&2 && usage ;;
        *) positional+=("$1") && shift ;;
        esac
    done
    ((${#positional[@]} == 2)) || usage
    [[ $jobs =~ ^[+-]?[0-9]+(\.[0-9]+)?%?$ ]] ||
        die "-j takes a number of jobs as GNU parallel's -j does (N, +N, -N or N%), not '$jobs'"
    sweep "$(absolute "${positional[0]}")" "$(absolute "${positional[1]}")" "$jobs"
    ;;
esac

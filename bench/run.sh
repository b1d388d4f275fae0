#!/usr/bin/env bash
# Builds the Release benchmarks in build-bench/ and prints the figures:
# the benchmark medians of 5 repetitions, the ratios that matter, the core
# count, and the peak memory of a fine-mesh run with its pictures.
#     bash bench/run.sh [extra Google Benchmark flags, e.g. --benchmark_filter=ny:50]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build="$root/build-bench"

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" --target veltaro_bench >/dev/null

echo "Cores: $(nproc)"
results="$build/bench-results.csv"
# The repetitions of all cases are shuffled together, so that a spell of
# load from elsewhere spreads over every case instead of skewing the ratio
# of two cases measured a minute apart.
"$build/bench/veltaro_bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_enable_random_interleaving=true \
    --benchmark_out="$results" --benchmark_out_format=csv "$@"

# The medians again, per mesh, with the three ratios the speed targets are
# stated in: one-shot / iteration, iteration / triangular solve, and the
# iteration with the transform solve / the iteration with the LU factors.
echo
# CPU time rather than wall-clock time: on a machine shared with other work
# it leaves out the time spent waiting for a core.
echo "Medians of CPU time per call, in microseconds:"
awk -F, '
    /_median"/ {
        name = $1; gsub(/"/, "", name); sub(/_median$/, "", name)
        time = $4; unit = $5
        if (unit == "ns") time /= 1000; else if (unit == "ms") time *= 1000; else if (unit == "s") time *= 1e6
        split(name, parts, "/")
        if (parts[2] ~ /^ny:/) { ny = substr(parts[2], 4); median[parts[1], ny] = time; seen[ny] = 1 }
    }
    END {
        printf "%-10s %12s %12s %12s %12s %10s %10s %12s %12s %10s\n", "mesh", "iteration", "one-shot", "tri. solve", "non-solver", "1shot/it", "it/solve", "fft iter.", "fft solve", "fft/lu it"
        n = split("25 50 100", sizes, " ")
        for (k = 1; k <= n; ++k) {
            ny = sizes[k]
            if (!(ny in seen)) continue
            it = median["BM_Iteration", ny]; shot = median["BM_IterationOneShot", ny]
            solve = median["BM_TriangularSolve", ny]; rest = median["BM_NonSolverPart", ny]
            fft_it = median["BM_IterationFft", ny]; fft_solve = median["BM_TransformSolve", ny]
            printf "%-10s %12.1f %12.1f %12.1f %12.1f %10s %10s %12.1f %12.1f %10s\n", (4 * ny) " x " ny, it, shot, solve, rest,
                   (it > 0 && shot > 0) ? sprintf("%.1f", shot / it) : "-",
                   (it > 0 && solve > 0) ? sprintf("%.2f", it / solve) : "-",
                   fft_it, fft_solve,
                   (it > 0 && fft_it > 0) ? sprintf("%.2f", fft_it / it) : "-"
        }
    }' "$results"
# The face projection's iteration against the node projection's, both with
# the outline rule, the second-order advection and the transform solve.
awk -F, '/_median"/ { if ($1 ~ /BM_IterationFaces\//) faces = $4; if ($1 ~ /BM_IterationOutlineSecondOrderFft\//) nodes = $4 }
    END { if (faces > 0 && nodes > 0) printf "Face projection / node projection, 400 x 100: %.2f\n", faces / nodes }' "$results"
awk -F, '/BM_WholeRunStandard.*real_time_median"/ { printf "Whole run, standard mesh to convergence (wall clock): %.0f ms\n", $5 == "ms" ? $3 : $3 * 1000 }' "$results"

# Peak memory of a fine-mesh run: 1 x 4 tunnel, mesh 2, 100 iterations.
echo
if [[ ! -x /usr/bin/time ]]; then
    echo "Peak memory not measured: GNU time is missing (apt-get install time)."
    exit 0
fi
folder=$(mktemp -d "${TMPDIR:-/tmp}/veltaro-memory-XXXXXX")
trap 'rm -rf "$folder"' EXIT
cp examples/cylinder.jpg "$folder/"
echo "cylinder.jpg 20 0.01 1 1 4 2 100" >"$folder/answers"
(cd "$folder" && /usr/bin/time -v "$build/veltaro" <answers >/dev/null 2>time.txt) || true
echo "Fine-mesh run (400 x 100, 100 iterations, with its pictures):"
grep "Maximum resident set size" "$folder/time.txt"

# The time-accurate goal: the validation cylinder at Re_D 100 on the fine mesh
# to T = 8 s (ten flow-through times) in under 3 minutes on one core.
echo
cp examples/validation_cylinder.jpg "$folder/"
echo "validation_cylinder.jpg 1000 0.01 1 2 4 2 400000" >"$folder/answers"
(cd "$folder" && /usr/bin/time -v "$build/veltaro" --unsteady=8 --pressure-solver=fft \
    --solid-nodes=outline <answers >/dev/null 2>time.txt) || true
echo "Time-accurate run (validation cylinder, Re_D 100, fine mesh, T = 8 s):"
grep -o '"iterations": [0-9]*' "$folder/summary.json"
grep -E "User time|Elapsed \(wall clock\)" "$folder/time.txt"

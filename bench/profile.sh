#!/usr/bin/env bash
# Where a run's time goes: the cylinder (1 x 4 tunnel, Re 20) under
# callgrind, with the functions listed by the instructions they execute,
# their own and with their callees. Needs valgrind (apt-get install valgrind).
#     bash bench/profile.sh [mesh choice, default 1] [iteration limit, default 20000]
# The standard mesh converges after about 900 iterations: some 30 s here.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build="$root/build-bench"
mesh=${1:-1}
limit=${2:-20000}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" --target veltaro >/dev/null

folder=$(mktemp -d "${TMPDIR:-/tmp}/veltaro-profile-XXXXXX")
trap 'rm -rf "$folder"' EXIT
cp examples/cylinder.jpg "$folder/"
echo "cylinder.jpg 20 0.01 1 1 4 $mesh $limit" >"$folder/answers"
(cd "$folder" && valgrind --tool=callgrind --callgrind-out-file=callgrind.out \
    "$build/veltaro" <answers >console.txt 2>valgrind.txt) || true
echo "Iterations: $(grep -c '^count = ' "$folder/console.txt")"

# Only the function names, without argument lists or the start-up frames.
top() {
    callgrind_annotate "$@" "$folder/callgrind.out" 2>/dev/null |
        sed -n '/file:function/,$p' | sed '1,2d' |
        grep -v -e 'below main' -e 'libc-start' -e 'ld-linux' |
        sed -E 's/\(anonymous namespace\)/{anonymous}/g; s/\?\?\?://' |
        sed -E 's/^( *[0-9,]+ \( *[0-9.]+%\)  )([^(]*)\(.*\) \[/\1\2 [/' |
        sed -E 's/ \[[^]]*\/([^]/]+)\]$/  [\1]/' | head -15
}
echo
echo "Own instructions:"
top --inclusive=no
echo
echo "With callees:"
top --inclusive=yes

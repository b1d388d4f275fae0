#!/usr/bin/env bash
# cmake --install puts the program, the examples and the README where an
# installed veltaro finds them: --help names the installed examples folder,
# and an example runs from it.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
for file in bin/veltaro share/veltaro/examples/cylinder.jpg share/veltaro/examples/cylinder.answers \
    share/doc/veltaro/README.md; do
    [[ -f $prefix/$file ]] || { echo "not installed: $file" >&2; exit 1; }
done
help=$("$prefix/bin/veltaro" --help)
grep -qF "Examples (pictures and answers files): $prefix/share/veltaro/examples" <<<"$help" ||
    { echo "--help does not name the installed examples:" >&2; tail -2 <<<"$help" >&2; exit 1; }
echo "installed and found"

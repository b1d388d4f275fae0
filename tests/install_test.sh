#!/usr/bin/env bash
# cmake --install puts the program, the examples and the README where an
# installed veltaro finds them: --help names the installed examples folder,
# and an example runs from it.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
# ls names a file that is not installed, and set -e stops there.
(cd "$prefix/share" && ls veltaro/examples/cylinder.jpg veltaro/examples/cylinder.answers doc/veltaro/README.md >/dev/null)
help=$("$prefix/bin/veltaro" --help)
grep -qF "Examples (pictures and answers files): $prefix/share/veltaro/examples" <<<"$help" ||
    { echo "--help does not name the installed examples:" >&2; tail -2 <<<"$help" >&2; exit 1; }
echo "installed and found"

#!/usr/bin/env bash
# Installs the tools that the sweep and validation scripts use, and only
# those asked for, when they are missing: GNU parallel, jq and gnuplot
# (gnuplot-nox on Debian). The build itself never needs them, which is why
# scripts/setup.sh leaves them out.
#
#     bash scripts/setup-scripts.sh                   # all three
#     bash scripts/setup-scripts.sh parallel jq       # just these
#
# On a machine without apt-get (a cluster, say) it installs nothing and says
# what to install instead.
set -euo pipefail

usage() {
    echo "usage: bash scripts/setup-scripts.sh [parallel] [jq] [gnuplot]" >&2
    exit 2
}

# Another program called parallel (moreutils has one) takes other options.
have_tool() {
    case "$1" in
    parallel) command -v parallel >/dev/null && parallel --version 2>/dev/null | grep -q "GNU parallel" ;;
    *) command -v "$1" >/dev/null ;;
    esac
}

tools=("$@")
((${#tools[@]})) || tools=(parallel jq gnuplot)

missing_tools=()
missing_packages=()
for tool in "${tools[@]}"; do
    case "$tool" in
    parallel) package=parallel ;;
    jq) package=jq ;;
    gnuplot) package=gnuplot-nox ;;
    *)
        echo "setup-scripts.sh: unknown tool '$tool' (known: parallel, jq, gnuplot)" >&2
        usage
        ;;
    esac
    if ! have_tool "$tool"; then
        missing_tools+=("$tool")
        missing_packages+=("$package")
    fi
done
((${#missing_packages[@]})) || exit 0

if ! command -v apt-get >/dev/null; then
    echo "Missing: ${missing_tools[*]}. There is no apt-get here: install them (${missing_packages[*]}) some other way." >&2
    exit 1
fi
echo "Installing: ${missing_packages[*]}"
sudo=()
[[ $(id -u) == 0 ]] || sudo=(sudo -n)
if ! { "${sudo[@]}" apt-get update -qq &&
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing_packages[@]}"; }; then
    echo "Could not install ${missing_packages[*]}: install them as root, then run this again." >&2
    exit 1
fi
for tool in "${missing_tools[@]}"; do
    if ! have_tool "$tool"; then
        echo "$tool is still missing after the install." >&2
        exit 1
    fi
done

#!/usr/bin/env bash
# Installs the tools that the sweep and validation scripts use, and only
# those asked for, when they are missing: GNU parallel (the sweep's
# dispatcher), matplotlib for Debian's python3 (the validation plot), jq
# (handy for reading summary.json by hand) and, only when asked for, Slurm
# with munge (scripts/test-slurm.sh). The build itself never needs them,
# which is why scripts/setup.sh leaves them out.
#
#     bash scripts/setup-scripts.sh                   # parallel, matplotlib and jq
#     bash scripts/setup-scripts.sh parallel          # just this one
#
# On a machine without apt-get (a cluster, say) it installs nothing and says
# what to install instead.
set -euo pipefail

usage() {
    echo "usage: bash scripts/setup-scripts.sh [parallel] [matplotlib] [jq] [slurm]" >&2
    exit 2
}

# Another program called parallel (moreutils has one) takes other options.
have_tool() {
    case "$1" in
    parallel) command -v parallel >/dev/null && parallel --version 2>/dev/null | grep -q "GNU parallel" ;;
    # The scripts run Debian's python3 when there is one (see sweep.sh).
    matplotlib) "$(command -v /usr/bin/python3 || echo python3)" -c "import matplotlib" 2>/dev/null ;;
    slurm) command -v slurmctld >/dev/null && command -v slurmd >/dev/null && command -v munged >/dev/null ;;
    *) command -v "$1" >/dev/null ;;
    esac
}

tools=("$@")
((${#tools[@]})) || tools=(parallel matplotlib jq)

missing_tools=()
missing_packages=()
for tool in "${tools[@]}"; do
    case "$tool" in
    parallel) package=parallel ;;
    matplotlib) package=python3-matplotlib ;;
    jq) package=jq ;;
    slurm) package="slurm-wlm munge" ;;
    *)
        echo "setup-scripts.sh: unknown tool '$tool' (known: parallel, matplotlib, jq, slurm)" >&2
        usage
        ;;
    esac
    if ! have_tool "$tool"; then
        missing_tools+=("$tool")
        read -r -a packages <<<"$package"
        missing_packages+=("${packages[@]}")
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

#!/usr/bin/env bash
# Regenerates docs/validation.md and its pictures (scripts/validate.sh
# --help says how); the work is done by validate.py beside it. Debian's
# python3 comes first, because another one earlier on the PATH (pyenv's, say)
# may lack the matplotlib that setup-scripts.sh installs.
set -euo pipefail
python=python3
[[ -x /usr/bin/python3 ]] && python=/usr/bin/python3
exec "$python" "$(dirname "${BASH_SOURCE[0]}")/validate.py" "$@"

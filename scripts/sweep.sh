#!/usr/bin/env bash
# The sweep's command line (scripts/sweep.sh --help says it all); the work is
# done by sweep.py beside it. Debian's python3 comes first, because another
# one earlier on the PATH (pyenv's, say) may lack the packages it installs.
set -euo pipefail
python=python3
[[ -x /usr/bin/python3 ]] && python=/usr/bin/python3
exec "$python" "$(dirname "${BASH_SOURCE[0]}")/sweep.py" "$@"

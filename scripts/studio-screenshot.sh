#!/usr/bin/env bash
# Regenerates docs/studio.png, the studio page after a run, as the README
# shows it: the browser test that probes a finished run saves the page.
#     scripts/studio-screenshot.sh [BUILD_DIR]     (default: build)
# Needs chromium, chromium-driver and python3-selenium (Debian packages).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
cmake --build "$build" -j2 --target veltaro
# The build folder on the PATH, so that the page's command line reads
# "veltaro ..." as an installed program's does.
PATH="$build:$PATH" VELTARO_EXE="$build/veltaro" VELTARO_EXAMPLES="$root/examples" \
    VELTARO_STUDIO_SCREENSHOT="$root/docs/studio.png" \
    /usr/bin/python3 "$root/tests/browser/studio_test.py" \
    RunTest.test_probe_reads_flow_vtk_at_the_node_under_the_pointer
echo "Wrote $root/docs/studio.png"

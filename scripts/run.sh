#!/usr/bin/env bash
# Installs what is missing, builds, and starts Qen Browser on FILE, or on the bundled sample
# package when no file is given. Without a display it runs under Xvfb.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$here/scripts/setup.sh"
build="${QEN_BUILD_DIR:-$here/build}"
file="${1:-$here/samples/sample.qen}"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: running Qen Browser under Xvfb (xvfb-run)."
    exec xvfb-run -a -s "-screen 0 1920x1080x24" "$build/src/qenbrowser" "$file"
fi
exec "$build/src/qenbrowser" "$file"

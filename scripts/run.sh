#!/usr/bin/env bash
# Installs what is missing, builds, and starts Qen Browser on FILE, or on the bundled sample
# package when no file is given. It runs on the session's display: natively on Wayland
# (WAYLAND_DISPLAY) when Qt's Wayland plugin is installed, else on X11 (DISPLAY, which a
# Wayland session also offers through XWayland), else under Xvfb. QT_QPA_PLATFORM, when set,
# chooses for itself.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$here/scripts/setup.sh"
build="${QEN_BUILD_DIR:-$here/build}"
file="${1:-$here/samples/sample.qen}"
program="$build/src/qenbrowser"

plugins=$(qtpaths6 --plugin-dir 2>/dev/null || qtpaths6 -query QT_INSTALL_PLUGINS 2>/dev/null || true)
wayland_plugin=no
if [ -n "$plugins" ] && ls "$plugins"/platforms/libqwayland-*.so >/dev/null 2>&1; then
    wayland_plugin=yes
fi

if [ -n "${QT_QPA_PLATFORM:-}" ]; then
    exec "$program" "$file"
fi
if [ -n "${WAYLAND_DISPLAY:-}" ] && [ "$wayland_plugin" = yes ]; then
    QT_QPA_PLATFORM=wayland exec "$program" "$file"
fi
if [ -n "${DISPLAY:-}" ]; then
    QT_QPA_PLATFORM=xcb exec "$program" "$file"
fi
if [ -n "${WAYLAND_DISPLAY:-}" ]; then
    echo "Wayland without Qt's Wayland plugin (qt6-wayland) and without XWayland: running Qen Browser under Xvfb (xvfb-run)."
else
    echo "No display found: running Qen Browser under Xvfb (xvfb-run)."
fi
QT_QPA_PLATFORM=xcb exec xvfb-run -a -s "-screen 0 1920x1080x24" "$program" "$file"

#!/usr/bin/env bash
# Photographs the busy window, the About box and the result window over the main window, on
# X11 (Xvfb) and on Wayland (a headless weston with its screenshooter), into
# build/screenshots/ (xcb-*.png, wayland-*.png). Needs a build (scripts/setup.sh). The headless
# backend draws nothing by default; --use-pixman gives the shooter pixels to read.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${QEN_BUILD_DIR:-$here/build}"
test="$build/tests/shell_ui_tst_windowplacement"
out="$build/screenshots"
mkdir -p "$out"
export QEN_SCREENSHOT_DIR="$out" QT_LOGGING_RULES="qt.*=false"
unset WAYLAND_DISPLAY DISPLAY XDG_ACTIVATION_TOKEN DESKTOP_STARTUP_ID

QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x800x24" "$test"

runtime=$(mktemp -d)
trap 'kill "$weston" 2>/dev/null || true; rm -rf "$runtime"' EXIT
chmod 700 "$runtime"
XDG_RUNTIME_DIR="$runtime" weston --backend=headless-backend.so --use-pixman --socket=qen-shots \
    --width=1280 --height=800 --idle-time=0 --no-config --debug &
weston=$!
for _ in $(seq 100); do [ -S "$runtime/qen-shots" ] && break; sleep 0.1; done
XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY=qen-shots QT_QPA_PLATFORM=wayland "$test"
ls "$out"

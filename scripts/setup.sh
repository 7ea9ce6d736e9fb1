#!/usr/bin/env bash
# Installs what is missing (Debian 12 packages) and builds Qen Browser into ./build.
# Safe to run again: it installs nothing that is already there and rebuilds incrementally.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-image-formats-plugins qt6-translations-l10n libgl-dev
    libzip-dev libtiff-dev libdeflate-dev libgif-dev libjpeg62-turbo-dev zlib1g-dev libxcb1-dev
    libtesseract-dev tesseract-ocr tesseract-ocr-chi-sim tesseract-ocr-eng
    fonts-noto-cjk xvfb xauth weston qt6-wayland zip unzip ccache
    desktop-file-utils shared-mime-info xdg-utils libfile-mimeinfo-perl appstream groff-base
    python3 p7zip-full libarchive-tools imagemagick
    ghostscript poppler-utils qpdf libtiff-tools mupdf-tools
    bibutils biber pandoc citation-style-language-styles
)
# Not required: cups and printer-driver-cups-pdf. The test that prints through a real queue
# (export_ui_tst_cupsprinting) needs the scheduler running and a queue on the cups-pdf
# backend, which a container or a build machine seldom has; it skips, saying so, without
# them. To run it as root: apt-get install cups printer-driver-cups-pdf; cupsd;
# lpadmin -p PDF -v cups-pdf:/ -P /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd -E
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

build="${QEN_BUILD_DIR:-$here/build}"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)"

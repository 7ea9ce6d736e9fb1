#!/usr/bin/env bash
# Checks one aspect of an installed tree, as the desktop sees it:
#   check-install.sh STEP PREFIX APP_ID VERSION
# STEP is layout, desktop, mime or metainfo. A check whose tool is absent exits 77, which
# CTest reports as skipped, with the name of the Debian package that brings the tool.
set -euo pipefail
step=$1 prefix=$2 id=$3 version=$4
share=$prefix/share

fail() { echo "FAIL: $*" >&2; exit 1; }
need() { command -v "$1" >/dev/null || { echo "SKIP: $1 not found (Debian package $2)"; exit 77; }; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

case $step in
layout)
    for f in bin/qenbrowser bin/qentool \
        share/applications/$id.desktop share/mime/packages/$id.xml \
        share/metainfo/$id.metainfo.xml share/icons/hicolor/scalable/apps/$id.svg \
        share/man/man1/qentool.1 share/qenbrowser/sample.qen; do
        [ -f "$prefix/$f" ] || fail "$f not installed"
    done
    for size in 16 22 24 32 48 64 128 256; do
        [ -f "$share/icons/hicolor/${size}x${size}/apps/$id.png" ] || fail "no ${size}px icon"
    done
    # The version the package is built with is the one the program reports.
    out=$("$prefix/bin/qentool" --version)
    [ "$out" = "Qen Browser $version" ] || fail "qentool --version printed '$out'"
    "$prefix/bin/qentool" --help | grep -q -- '--version' || fail "qentool --help lacks --version"
    # The window is matched to its menu entry by the X11 instance name, which Qt takes from
    # the executable's name.
    exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$share/applications/$id.desktop")
    wm_class=$(sed -n 's/^StartupWMClass=//p' "$share/applications/$id.desktop")
    [ "$exec_name" = "$wm_class" ] || fail "StartupWMClass '$wm_class' is not '$exec_name'"
    [ -x "$prefix/bin/$exec_name" ] || fail "Exec names '$exec_name', which is not installed"
    "$prefix/bin/qentool" info "$share/qenbrowser/sample.qen" >/dev/null ||
        fail "the installed sample does not open"
    # Every command qentool lists has its entry in the manual page.
    man_page=$share/man/man1/qentool.1
    for command in $("$prefix/bin/qentool" --help | sed -n 's/^  \([a-z][a-z-]*\) .*/\1/p'); do
        grep -q -E "^\.B[I]? \"?$command( |\"|\$)" "$man_page" ||
            fail "qentool $command is missing from the manual page"
    done
    if command -v groff >/dev/null; then
        warnings=$(groff -man -Tutf8 -ww -z "$man_page" 2>&1)
        [ -z "$warnings" ] || fail "manual page: $warnings"
    else
        echo "groff not found (Debian package groff-base): manual page not formatted"
    fi
    ;;
desktop)
    need desktop-file-validate desktop-file-utils
    desktop-file-validate "$share/applications/$id.desktop"
    ;;
mime)
    need update-mime-database shared-mime-info
    need xdg-mime xdg-utils
    # Without a desktop session xdg-mime asks mimetype, which reads the database we build.
    need mimetype libfile-mimeinfo-perl
    export XDG_DATA_DIRS=$scratch:/usr/share XDG_DATA_HOME=$scratch/home
    unset XDG_CURRENT_DESKTOP KDE_FULL_SESSION GNOME_DESKTOP_SESSION_ID
    cp -r "$share/mime" "$scratch/mime"
    update-mime-database "$scratch/mime"
    cp "$share/qenbrowser/sample.qen" "$scratch/paper.qen"
    cp "$share/qenbrowser/sample.qen" "$scratch/paper.zip"
    got=$(xdg-mime query filetype "$scratch/paper.qen")
    [ "$got" = application/x-qen-package ] || fail "paper.qen is '$got'"
    # Only the name makes a package: the same bytes named .zip stay a plain archive.
    got=$(xdg-mime query filetype "$scratch/paper.zip")
    [ "$got" = application/zip ] || fail "paper.zip is '$got'"
    ;;
metainfo)
    need appstreamcli appstream
    appstreamcli validate --no-net "$share/metainfo/$id.metainfo.xml"
    ;;
*)
    fail "unknown step $step"
    ;;
esac
echo "PASS: $step"

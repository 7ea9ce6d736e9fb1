#!/usr/bin/env bash
# Builds the .deb, installs it with apt as a user would, runs the installed program, removes
# it, and checks that the machine is as it was: the same packages installed and none of the
# package's files left. Needs root (or sudo). Not for CI: it changes the system while it runs.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
id=example.qeninfo.QenBrowser

is_installed() { dpkg-query -W -f='${Status}' qen-browser 2>/dev/null | grep -q 'ok installed'; }
packages() { dpkg-query -W -f='${Package}:${Architecture} ${db:Status-Abbrev}\n' | sort; }

if is_installed; then
    echo "check-deb: qen-browser is already installed; remove it first" >&2
    exit 1
fi

work=$(mktemp -d)
chmod 755 "$work" # apt reads a local package as its own user
echo "== building"
deb=$("$here/scripts/package.sh")
cp "$deb" "$work/"
deb=$work/$(basename "$deb")
echo "$(basename "$deb"): $(stat -c %s "$deb") bytes"
dpkg-deb --field "$deb" Package Version Architecture Depends Recommends
packages >"$work/before"

# Whatever happens below, the package and everything apt brought in for it go again.
remove() {
    set +e
    if is_installed; then
        echo "== removing"
        echo "\$ apt-get purge qen-browser"
        $sudo apt-get purge -y -qq qen-browser >/dev/null
    fi
    mapfile -t added < <(comm -13 <(cut -d' ' -f1 "$work/before") <(packages | cut -d' ' -f1))
    if ((${#added[@]})); then
        echo "removing what the install pulled in: ${added[*]}"
        $sudo apt-get purge -y -qq "${added[@]}" >/dev/null
    fi
    set -e
}
trap 'remove; rm -rf "$work"' EXIT

echo "== installing"
echo "\$ apt install ./$(basename "$deb")"
$sudo apt-get install -y -qq "$deb" 2>&1 |
    grep -v -e 'performed unsandboxed' -e 'Reading database' -e '^debconf:' || true
is_installed || { echo "check-deb: the package did not install" >&2; exit 1; }
dpkg -L qen-browser | sort >"$work/files"

echo "== running"
echo "\$ qentool --version"
qentool --version
echo "\$ qentool info /usr/share/qenbrowser/sample.qen"
qentool info /usr/share/qenbrowser/sample.qen
echo "\$ man -w qentool"
man -w qentool
# The package's triggers have registered the file type in the system database.
cp /usr/share/qenbrowser/sample.qen "$work/paper.qen"
if command -v mimetype >/dev/null; then
    echo "\$ xdg-mime query filetype paper.qen"
    env -u XDG_CURRENT_DESKTOP -u XDG_DATA_DIRS xdg-mime query filetype "$work/paper.qen"
fi
echo "\$ desktop-file-validate $id.desktop"
desktop-file-validate /usr/share/applications/$id.desktop
if command -v xvfb-run >/dev/null; then
    echo "\$ qenbrowser /usr/share/qenbrowser/sample.qen   (under Xvfb, ended after 4 s)"
    home=$(mktemp -d)
    status=0
    QENINFO_HOME=$home/QenInfo xvfb-run -a timeout -s TERM 4 qenbrowser \
        /usr/share/qenbrowser/sample.qen || status=$?
    rm -rf "$home"
    # 124: timeout ended it while it ran, as a program waiting for its user should be.
    [ "$status" -eq 124 ] || { echo "check-deb: qenbrowser ended with $status" >&2; exit 1; }
    echo "ran until ended"
fi

remove
echo "== after removal"
left=0
while read -r f; do
    if [ -e "$f" ] && ! [ -d "$f" ]; then # folders such as /usr/bin belong to others too
        echo "left behind: $f" >&2
        left=1
    fi
done <"$work/files"
if ! diff <(cat "$work/before") <(packages) >"$work/diff"; then
    echo "installed packages differ from before:" >&2
    cat "$work/diff" >&2
    left=1
fi
if command -v mimetype >/dev/null; then
    echo "\$ xdg-mime query filetype paper.qen"
    env -u XDG_CURRENT_DESKTOP -u XDG_DATA_DIRS xdg-mime query filetype "$work/paper.qen"
fi
[ "$left" -eq 0 ] || exit 1
echo "removed cleanly: no file of the package left, the same packages installed as before"

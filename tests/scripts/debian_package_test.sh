#!/usr/bin/env bash
# The Debian package of this build: its dependencies are those of the libraries the programs
# link, its files validate, it installs, the installed programs run from the installed files
# (a user's first start lays out the program folder), and removing it leaves nothing behind.
set -euo pipefail
build=$1
fail() { echo "FAIL: $*" >&2; exit 1; }
skip() { echo "SKIP: $*"; exit 77; }

[[ $(id -u) -eq 0 ]] || skip "installing a package needs root"
for tool in cpack dpkg-shlibdeps desktop-file-validate appstreamcli; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
done
if dpkg-query -W -f='${Status}' fragmentrove 2>/dev/null | grep -q 'ok installed'; then
    fail "a fragmentrove package is installed on this machine; this test would replace it"
fi

work=$(mktemp -d)
cleanup() {
    dpkg --purge fragmentrove >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 ||
    fail "cpack: $(cat "$work/cpack.log")"
deb=$(find "$work/out" -maxdepth 1 -name 'fragmentrove_*.deb')
[[ -f "$deb" ]] || fail "no package was made: $(cat "$work/cpack.log")"

depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libqt6core6 libqt6widgets6 libcdio19 libcdio-paranoia2 libmp3lame0 \
    libblkid1 qt6-qpa-plugins; do
    [[ "$depends" == *"$library"* ]] || fail "the package does not depend on $library: $depends"
done

dpkg-deb -c "$deb" | awk '{ print substr($6, 2) }' >"$work/files"
dpkg -i "$deb" >"$work/dpkg.log" 2>&1 || fail "dpkg -i: $(cat "$work/dpkg.log")"

for installed in /usr/bin/fragmentrove /usr/bin/fragmentrove-cli \
    /usr/libexec/fragmentrove/mmanager /usr/share/fragmentrove/lang/lang.eng \
    /usr/share/man/man1/fragmentrove-cli.1 /usr/share/man/man1/fragmentrove.1 \
    /usr/share/bash-completion/completions/fragmentrove-cli \
    /usr/share/icons/hicolor/48x48/apps/fragmentrove.png \
    /usr/share/icons/hicolor/scalable/apps/fragmentrove.svg; do
    [[ -e "$installed" ]] || fail "$installed was not installed"
done
desktop-file-validate /usr/share/applications/io.github.fragmentrove.Fragmentrove.desktop ||
    fail "the installed desktop entry does not validate"
grep -q '^Exec=fragmentrove$' /usr/share/applications/io.github.fragmentrove.Fragmentrove.desktop ||
    fail "the installed desktop entry does not start the installed program"
appstreamcli validate --no-net \
    /usr/share/metainfo/io.github.fragmentrove.Fragmentrove.metainfo.xml >/dev/null ||
    fail "the installed metainfo does not validate"

version=$(/usr/bin/fragmentrove-cli --version | head -1)
[[ "$version" == "fragmentrove-cli $(dpkg-deb -f "$deb" Version) (Fragmentrove)" ]] ||
    fail "--version says: $version"

# A user's first copy: the program folder is laid out from the installed files.
mkdir -p "$work/home"
head -c 300000 /dev/urandom >"$work/source.bin"
HOME="$work/home" XDG_DATA_HOME="" /usr/bin/fragmentrove-cli --quiet copy \
    "$work/source.bin" "$work/copy.bin" >"$work/copy.log" 2>&1 ||
    fail "the installed command line could not copy: $(cat "$work/copy.log")"
cmp -s "$work/source.bin" "$work/copy.bin" || fail "the copy differs from its source"
folder="$work/home/.local/share/fragmentrove"
cmp -s /usr/share/fragmentrove/lang/lang.eng "$folder/lang/lang.eng" ||
    fail "the user's program folder was not laid out from the installed files"
cmp -s /usr/libexec/fragmentrove/mmanager "$folder/mmanager.exe" ||
    fail "the media manager was not placed in the user's program folder"

# The installed window, started from the menu (no folder of its own), in a new user's home: it
# lays out that user's program folder and runs.
mkdir -p "$work/home2" "$work/runtime"
chmod 700 "$work/runtime"
(cd "$work/home2" && HOME="$work/home2" XDG_DATA_HOME="" XDG_RUNTIME_DIR="$work/runtime" \
    QT_QPA_PLATFORM=offscreen exec /usr/bin/fragmentrove) >"$work/window.log" 2>&1 &
window=$!
for _ in $(seq 100); do
    [[ -f "$work/home2/.local/share/fragmentrove/lang/lang.eng" ]] && break
    sleep 0.1
done
sleep 1
kill -0 "$window" 2>/dev/null || fail "the installed window did not keep running: $(cat "$work/window.log")"
kill "$window"
wait "$window" 2>/dev/null || true
[[ -f "$work/home2/.local/share/fragmentrove/settings.ini" ]] ||
    fail "the installed window did not lay out the user's program folder"

dpkg --purge fragmentrove >"$work/dpkg.log" 2>&1 || fail "dpkg --purge: $(cat "$work/dpkg.log")"
while IFS= read -r file; do
    [[ -z "$file" || "$file" == */ ]] && continue
    [[ ! -e "$file" && ! -L "$file" ]] || fail "$file is left behind after removal"
done <"$work/files"
for folder in /usr/share/fragmentrove /usr/libexec/fragmentrove /usr/share/doc/fragmentrove; do
    [[ ! -e "$folder" ]] || fail "$folder is left behind after removal"
done
echo "debian package: all checks passed"

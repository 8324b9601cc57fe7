#!/usr/bin/env bash
# The desktop entry: the program starts in its program folder from the menu, whatever
# characters the folders' names hold, and the icon is there in every size.
set -euo pipefail
install_entry=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

program='/opt/my $HOME `x` 100% "q" a\b & c/fragmentrove'
program_dir="$work/Program files & more"
XDG_DATA_HOME="$work/share" "$install_entry" "$program" "$program_dir"
XDG_DATA_HOME="$work/share" "$install_entry" "$program" "$program_dir" # again: replaced

entry="$work/share/applications/fragmentrove.desktop"
[[ -f "$entry" ]] || fail "no entry"
exec_line=$(grep '^Exec=' "$entry")
expected='Exec="/opt/my \\$HOME \\`x\\` 100%% \\"q\\" a\\\\b & c/fragmentrove"'
[[ "$exec_line" == "$expected" ]] || fail "Exec is $exec_line, not $expected"
[[ $(grep '^Path=' "$entry") == "Path=$program_dir" ]] || fail "not started in its program folder"
grep -q '^Icon=fragmentrove$' "$entry" || fail "no icon named"
grep -q '^Comment=.*disk group' "$entry" || fail "the rights it needs are not said"
# The menu's cache (mimeinfo.cache, where desktop-file-utils is installed) may lie beside it.
[[ -z $(find "$work/share/applications" -name '.fragmentrove*') ]] || fail "a temporary file stayed"
for icon in scalable/apps/fragmentrove.svg {16x16,32x32,48x48,128x128}/apps/fragmentrove.png; do
    [[ -s "$work/share/icons/hicolor/$icon" ]] || fail "icon $icon missing"
done
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$entry" || fail "entry not valid"
fi
echo "install-desktop-entry: all checks passed"

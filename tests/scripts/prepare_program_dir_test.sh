#!/usr/bin/env bash
# The user's program folder: shipped files arrive, user files are never replaced, the
# program's own files follow newer shipped copies.
set -euo pipefail
prepare=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir -p "$work/shipped/lang"
printf '0\r\n' > "$work/shipped/settings.ini"
printf '' > "$work/shipped/databaza.fgv"
printf '' > "$work/shipped/drives.fgv"
printf 'one\r\n' > "$work/shipped/lang/lang.eng"
touch -d '2020-01-01' "$work/shipped"/* "$work/shipped/lang"/*

"$prepare" "$work/shipped" "$work/user"
cmp -s "$work/shipped/lang/lang.eng" "$work/user/lang/lang.eng" || fail "language file not laid out"
[[ -f "$work/user/databaza.fgv" && -f "$work/user/drives.fgv" ]] || fail "journal or register missing"

# The user saves settings and works; a newer program ships new and changed files.
printf '3\r\n' > "$work/user/settings.ini"
printf 'journal' > "$work/user/databaza.fgv"
printf 'register' > "$work/user/drives.fgv"
printf '1\r\n' > "$work/shipped/settings.ini"
printf '' > "$work/shipped/databaza.fgv"
printf 'two\r\n' > "$work/shipped/lang/lang.eng"
printf 'neu\r\n' > "$work/shipped/lang/lang.ger"
touch -d '2030-01-01' "$work/shipped"/* "$work/shipped/lang"/*

"$prepare" "$work/shipped" "$work/user"
[[ $(cat "$work/user/settings.ini") == $'3\r' ]] || fail "settings replaced"
[[ $(cat "$work/user/databaza.fgv") == journal ]] || fail "journal replaced"
[[ $(cat "$work/user/drives.fgv") == register ]] || fail "register replaced"
cmp -s "$work/shipped/lang/lang.eng" "$work/user/lang/lang.eng" || fail "newer language file not taken"
[[ -f "$work/user/lang/lang.ger" ]] || fail "new file not added"

# The media manager is placed under the name the window starts, and follows a newer build.
printf '#!/bin/sh\necho 1\n' > "$work/mmanager"
chmod +x "$work/mmanager"
"$prepare" "$work/shipped" "$work/user" "$work/mmanager"
[[ -x "$work/user/mmanager.exe" && $("$work/user/mmanager.exe") == 1 ]] || fail "manager not placed"
printf '#!/bin/sh\necho 2\n' > "$work/mmanager"
touch -d '2031-01-01' "$work/mmanager"
"$prepare" "$work/shipped" "$work/user" "$work/mmanager"
[[ $("$work/user/mmanager.exe") == 2 ]] || fail "newer manager not taken"
echo "prepare-program-dir: all checks passed"

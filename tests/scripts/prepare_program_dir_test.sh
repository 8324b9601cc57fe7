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

# The folder the repository ships holds the program's files and nothing else.
shipped_data=$(cd "$(dirname "$prepare")/../data" && pwd)
"$prepare" "$shipped_data" "$work/fresh"
expected=$(
    printf '%s\n' databaza.fgv drives.fgv settings.ini web.url help/{0..5}.hlp \
        lang/lang.{cze,eng,fra,ger,spa,svk}
    for skin in banana classic nature; do
        printf "bits/${skin}_%s\n" back.bmp close.bmp colours.ini help.bmp id3back.bmp \
            minimize.bmp open.bmp save.bmp smback.bmp
    done
)
actual=$(cd "$work/fresh" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
[[ "$actual" == "$(LC_ALL=C sort <<<"$expected")" ]] ||
    fail "the shipped folder differs from the program's files: $(diff <(LC_ALL=C sort <<<"$expected") <(echo "$actual"))"

# A folder that is not part of the program's layout (a user's folder copied in) is not shipped.
mkdir -p "$work/shipped/pd/lang"
printf 'stray\r\n' > "$work/shipped/pd/settings.ini"
printf 'stray\r\n' > "$work/shipped/pd/lang/lang.eng"
"$prepare" "$work/shipped" "$work/clean"
[[ ! -e "$work/clean/pd" ]] || fail "a folder outside the program's layout was shipped"
echo "prepare-program-dir: all checks passed"

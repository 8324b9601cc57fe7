#!/usr/bin/env bash
# Tab completion of fragmentrove-cli: commands, each command's options, option values, and for
# a DRIVE the program folder's drive letters and the machine's block devices.
set -uo pipefail
completion=$1
framework=/usr/share/bash-completion/bash_completion
if [[ ! -r $framework ]]; then
    echo "bash-completion is not installed: skipped"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# shellcheck source=/dev/null
source "$framework"
# shellcheck source=/dev/null
source "$completion"

# Completes the line as typed, the cursor at its end; prints the candidates one a line.
complete_line() {
    local line=$1
    read -r -a COMP_WORDS <<<"$line"
    [[ $line == *' ' ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE=$line
    COMP_POINT=${#line}
    COMPREPLY=()
    _fragmentrove_cli fragmentrove-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf '%s\n' "${COMPREPLY[@]}" | sort
}
expect() {
    local line=$1 expected=$2 got
    got=$(complete_line "$line" | paste -sd' ')
    [[ $got == "$expected" ]] || fail "'$line' completes to '$got', not '$expected'"
}
contains() {
    local line=$1 wanted=$2
    complete_line "$line" | grep -qxF -- "$wanted" || fail "'$line' does not offer '$wanted'"
}

expect "fragmentrove-cli re" "register restore resume"
expect "fragmentrove-cli copy --no" "--no-skip"
expect "fragmentrove-cli copy a.bin b.bin --fill " "random zero"
expect "fragmentrove-cli resume 1 --block " "1024 2048 512"
expect "fragmentrove-cli test --r" ""
expect "fragmentrove-cli image --re" "--retries --reverse"
expect "fragmentrove-cli register " "add remove"
expect "fragmentrove-cli se" "setup"

mkdir -p "$work/prog/dosdevices"
ln -s /tmp "$work/prog/dosdevices/e:"
ln -s /dev/null "$work/prog/dosdevices/f::"
contains "fragmentrove-cli --program-dir $work/prog image " "E:"
contains "fragmentrove-cli --program-dir $work/prog image " "F:"
contains "fragmentrove-cli --program-dir $work/prog test " "C:"
for device in /dev/loop0 /dev/sda /dev/vda; do
    if [[ -b $device ]]; then
        contains "fragmentrove-cli test " "$device"
        break
    fi
done
touch "$work/disk.img"
contains "fragmentrove-cli restore $work/di" "$work/disk.img"
echo "bash completion: all checks passed"

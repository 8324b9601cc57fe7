#!/usr/bin/env bash
# How soon each tool has the readable data of a dying medium: a file of random bytes with eight
# damaged areas of mixed sizes (1 byte up to 2 MiB, one at the very end), served by the
# failing-media filesystem (faultyfs) with a delay on every failed read and a trace of every
# read the medium answers. Each run gets a fresh mount and trace:
#   copy            fragmentrove-cli copy of the medium file
#   copy --no-skip  the same, reading strictly in order (skipped when the CLI has no such option)
#   ddrescue        GNU ddrescue, default passes
#   image           fragmentrove-cli image of the medium through a read-only loop device
#   ddrescue -d     GNU ddrescue with direct reads of the same loop device
# From the traces it prints, per run, when it had 50/90/99/99.9 % of the readable bytes (from
# its first read), the total time, reads and failed reads, and the readable bytes in its output,
# then the ratios of ddrescue's time to 99 % over ours, and draws the curves into a PNG.
# Usage (as root): bench/run_dying_disk.sh [BUILD_DIR] [WORK_DIR]
# Environment: SIZE_MIB (200, at least 32), DELAY_MS (failed-read delay, 20),
#              PNG (docs/dying-disk.png of the source tree).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(realpath -m "${1:-$root/build}")
work=$(realpath -m "${2:-/var/tmp/fragmentrove-bench/dying-disk}")
size_mib=${SIZE_MIB:-200}
delay_ms=${DELAY_MS:-20}
png=$(realpath -m "${PNG:-$root/docs/dying-disk.png}")

if [[ $(id -u) -ne 0 ]]; then
    echo "loop devices and mounting the failing medium need root" >&2
    exit 1
fi
if ((size_mib < 32)); then
    echo "SIZE_MIB must be at least 32 (the damaged areas need room)" >&2
    exit 1
fi

cli="$build/src/fragmentrove-cli"
faultyfs="$build/tests/support/faultyfs/faultyfs"
[[ -x "$cli" && -x "$faultyfs" ]] || cmake --build "$build" --target fragmentrove-cli faultyfs

# Debian's own interpreter, where the packages below install to.
python=/usr/bin/python3
missing=()
command -v ddrescue >/dev/null || missing+=(gddrescue)
command -v bc >/dev/null || missing+=(bc)
"$python" -c 'import matplotlib, numpy' 2>/dev/null || missing+=(python3-matplotlib python3-numpy)
if ((${#missing[@]})); then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

mkdir -p "$work"
mount_point="$work/mnt"
# A mount an earlier run left behind when it was killed outright (its filesystem gone).
if grep -qs " $mount_point fuse" /proc/mounts; then
    umount -l "$mount_point"
fi
mkdir -p "$mount_point"
loop=
faulty_pid=
tool_pid=
unmount_medium() {
    if [[ -n "$loop" ]]; then
        losetup -d "$loop" 2>/dev/null || true
        loop=
    fi
    if mountpoint -q "$mount_point" 2>/dev/null; then
        # A loop device lets go of its file a moment after it is detached.
        for _ in $(seq 50); do
            fusermount3 -u "$mount_point" 2>/dev/null && break
            sleep 0.1
        done
        mountpoint -q "$mount_point" 2>/dev/null && umount -l "$mount_point"
    fi
    # faultyfs closes the trace as it ends: only then is the trace complete.
    if [[ -n "$faulty_pid" ]]; then
        wait "$faulty_pid" 2>/dev/null || true
        faulty_pid=
    fi
}
cleanup() {
    # A tool still running (the script was interrupted) stops first: it holds the medium.
    if [[ -n "$tool_pid" ]]; then
        kill -TERM "$tool_pid" 2>/dev/null || true
        wait "$tool_pid" 2>/dev/null || true
    fi
    unmount_medium
    rm -f "$work"/out.* "$work"/map.*
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The medium's bytes: random, but never a zero byte, so that a zero written where a tool could
# not read (or a zero fill block) never passes for a source byte in the comparison.
source="$work/source.bin"
if [[ ! -f "$source" || $(stat -c %s "$source") -ne $((size_mib << 20)) ]]; then
    head -c $((size_mib << 20)) /dev/urandom | tr '\000' '\001' >"$source"
fi
size=$((size_mib << 20))
mib=$((1 << 20))
# At the same share of the medium whatever its size: one byte, 512 bytes across a sector
# boundary, an aligned 4 KiB, 64 KiB, 300 KiB, 1 MiB, 2 MiB, and the last 7000 bytes.
at() { echo $((size_mib * $1 / 1000 * mib + $2)); }
bad="$(at 45 12345)-$(($(at 45 12345) + 1))"
bad+=",$(at 115 777)-$(($(at 115 777) + 512))"
bad+=",$(at 205 0)-$(($(at 205 0) + 4096))"
bad+=",$(at 385 1536)-$(($(at 385 1536) + 65536))"
bad+=",$(at 505 20580)-$(($(at 505 20580) + 300 * 1024))"
bad+=",$(at 655 333)-$(($(at 655 333) + mib))"
bad+=",$(at 815 4096)-$(($(at 815 4096) + 2 * mib))"
bad+=",$((size - 7000))-$size"

mount_medium() {
    local trace=$1
    rm -f "$trace"
    "$faultyfs" --source "$source" --bad "$bad" --delay-ms "$delay_ms" --trace "$trace" \
        --exit-with-parent "$mount_point" &
    faulty_pid=$!
    for _ in $(seq 200); do
        mountpoint -q "$mount_point" && [[ -e "$mount_point/disk.img" ]] && return 0
        sleep 0.05
    done
    echo "faultyfs did not mount" >&2
    exit 1
}
# The command line works on a program folder of its own, laid out as the window's; the image
# job's drive E: is a letter linked to the loop device.
fresh_program() {
    rm -rf "$work/program"
    "$cli" --program-dir "$work/program" setup >/dev/null
    mkdir -p "$work/program/dosdevices"
}
monotonic() { "$python" -c 'import time; print(f"{time.monotonic():.6f}")'; }

runs=()
notes=()
failures=0
# run NAME PANEL DEVICE|FILE COMMAND...: "@MEDIUM@" in the command stands for the medium (the
# file in the mount, or the loop device over it with DEVICE).
run() {
    local name=$1 panel=$2 via=$3
    shift 3
    local slug=${name// /}
    slug=${slug//-/}
    local trace="$work/trace.$slug" output="$work/out.$slug" log="$work/log.$slug"
    rm -f "$output" "$work/map.$slug"
    fresh_program
    # Every run reads the medium's bytes from memory, as the runs after the first would anyway:
    # otherwise the first run alone would wait for the disk under the failing filesystem.
    cat "$source" >/dev/null
    mount_medium "$trace"
    local medium="$mount_point/disk.img"
    if [[ $via == DEVICE ]]; then
        loop=$(losetup --read-only --find --show "$medium")
        medium=$loop
        ln -s "$loop" "$work/program/dosdevices/e::"
        # Whatever udev reads from the new device comes before the run's start and is left out.
        command -v udevadm >/dev/null && udevadm settle --timeout=10 || true
    fi
    local command=()
    for word in "$@"; do
        word=${word//@MEDIUM@/$medium}
        word=${word//@OUTPUT@/$output}
        word=${word//@MAP@/$work/map.$slug}
        command+=("$word")
    done
    local start begin end status=0
    start=$(monotonic)
    begin=$(date +%s.%N)
    # In the background and waited for, so that an interrupt reaches the traps at once.
    "${command[@]}" >"$log" 2>&1 &
    tool_pid=$!
    wait "$tool_pid" || status=$?
    tool_pid=
    end=$(date +%s.%N)
    unmount_medium
    local seconds
    seconds=$(echo "$end - $begin" | bc -l)
    if ((status == 0 || status == 1)); then
        runs+=(--run "$name" "$trace" "$output" "$start" "$seconds" "$panel")
        printf '  %-16s %8.3f s (exit %d)\n' "$name" "$seconds" "$status"
    elif ((status == 2)) && grep -q -- '--no-skip' "$log"; then
        notes+=("$name: skipped, the command line refused the option: $(head -c 300 "$log" | tr '\n' ' ')")
        printf '  %-16s skipped (option refused)\n' "$name"
    else
        notes+=("$name: FAILED with exit status $status: $(tail -c 300 "$log" | tr '\n' ' ')")
        printf '  %-16s FAILED (exit %d, see %s)\n' "$name" "$status" "$log"
        failures=$((failures + 1))
    fi
}

copies="copy: the medium's file"
images="image: the medium through a loop device"
cli_options=(--program-dir "$work/program" --yes)
echo "== dying medium: ${size_mib} MiB, 8 damaged areas, ${delay_ms} ms per failed read"
echo "   damaged areas (bytes, end exclusive): $bad"
# A zero fill, so that a fill block over readable bytes counts as those bytes lost.
run "copy" "$copies" FILE "$cli" copy @MEDIUM@ @OUTPUT@ --fill zero "${cli_options[@]}"
run "copy --no-skip" "$copies" FILE "$cli" copy @MEDIUM@ @OUTPUT@ --fill zero --no-skip "${cli_options[@]}"
run "ddrescue" "$copies" FILE ddrescue -q -f @MEDIUM@ @OUTPUT@ @MAP@
run "image" "$images" DEVICE "$cli" image E: @OUTPUT@ "${cli_options[@]}"
run "ddrescue -d" "$images" DEVICE ddrescue -q -f -d @MEDIUM@ @OUTPUT@ @MAP@

echo
mkdir -p "$(dirname "$png")"
"$python" "$root/bench/dying_disk_curve.py" --source "$source" --bad "$bad" \
    --ratio ddrescue copy --ratio "ddrescue -d" image --in-order copy "copy --no-skip" \
    --png "$png" --title "Readable bytes over time: ${size_mib} MiB, 8 damaged areas, ${delay_ms} ms per failed read" \
    "${runs[@]}"
for note in "${notes[@]}"; do echo "note: $note"; done
((failures == 0))

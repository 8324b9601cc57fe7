#!/usr/bin/env bash
# The rescue copy side by side with cp, dd and GNU ddrescue, in one run:
#   1. a healthy file (1 GiB by default), read from disk with caches dropped before every copy;
#   2. a file with damaged areas, served by the failing-media filesystem (faultyfs), where
#      every read reaches the medium and failed reads are counted by the medium itself.
# Prints throughput, the ratios against the peers and the failed reads against the plain
# 4-byte loop's. Usage: bench/run_rescue_copy.sh [BUILD_DIR] [WORK_DIR]
# Environment: HEALTHY_MIB (1024), DAMAGED_MIB (256), DELAY_MS (failed-read delay, 2).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build}
work=${2:-/var/tmp/fragmentrove-bench}
healthy_mib=${HEALTHY_MIB:-1024}
damaged_mib=${DAMAGED_MIB:-256}
delay_ms=${DELAY_MS:-2}

engine="$build/bench/rescue_copy_bench"
cli="$build/src/fragmentrove-cli"
faultyfs="$build/tests/support/faultyfs/faultyfs"
[[ -x "$engine" && -x "$cli" && -x "$faultyfs" ]] ||
    cmake --build "$build" --target rescue_copy_bench fragmentrove-cli faultyfs

if ! command -v ddrescue >/dev/null; then
    if [[ $(id -u) -eq 0 ]]; then
        apt-get update -qq
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends gddrescue >/dev/null
    else
        echo "ddrescue is missing (Debian package gddrescue); run as root once to install it." >&2
        exit 1
    fi
fi

mkdir -p "$work"
# The command line works on a program folder of its own, laid out as the window's.
rm -rf "$work/program"
"$cli" --program-dir "$work/program" setup >/dev/null
cli_copy() { "$cli" copy "$1" "$2" --yes --program-dir "$work/program"; }
mount_point="$work/mnt"
faulty_pid=
cleanup() {
    if mountpoint -q "$mount_point" 2>/dev/null; then
        fusermount3 -u "$mount_point" 2>/dev/null || umount -l "$mount_point" || true
    fi
    [[ -n "$faulty_pid" ]] && wait "$faulty_pid" 2>/dev/null || true
    rm -f "$work"/out.* "$work"/map.*
}
trap cleanup EXIT

drop_caches() {
    sync
    if [[ -w /proc/sys/vm/drop_caches ]]; then
        echo 3 >/proc/sys/vm/drop_caches
    fi
}
can_drop=no
[[ -w /proc/sys/vm/drop_caches ]] && can_drop=yes

# Seconds a command takes, to the millisecond.
seconds() {
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    echo "$end - $start" | bc -l
}
ratio() { echo "scale=2; $1 / $2" | bc -l; }
mbps() { echo "scale=1; $1 / 1000000 / $2" | bc -l; }

echo "== healthy file: ${healthy_mib} MiB, caches dropped before each copy: $can_drop"
healthy="$work/healthy.bin"
if [[ ! -f "$healthy" || $(stat -c %s "$healthy") -ne $((healthy_mib << 20)) ]]; then
    head -c $((healthy_mib << 20)) /dev/urandom >"$healthy"
fi
bytes=$(stat -c %s "$healthy")

declare -A took
run_healthy() {
    local name=$1
    shift
    rm -f "$work/out.$name" "$work/map.$name"
    drop_caches
    took[$name]=$(seconds "$@")
    cmp -s "$healthy" "$work/out.$name" || { echo "$name: copy differs" >&2; exit 1; }
    printf '  %-10s %8.3f s %8.1f MB/s\n' "$name" "${took[$name]}" "$(mbps "$bytes" "${took[$name]}")"
    rm -f "$work/out.$name"
}
run_healthy cp cp "$healthy" "$work/out.cp"
run_healthy dd dd if="$healthy" of="$work/out.dd" bs=1M
run_healthy ddrescue ddrescue -q "$healthy" "$work/out.ddrescue" "$work/map.ddrescue"
run_healthy engine "$engine" "$healthy" "$work/out.engine"
# As the program runs it: the destination synced and the map and journal record committed
# every two seconds and at the end.
mkdir -p "$work/live"
run_healthy synced "$engine" "$healthy" "$work/out.synced" --live "$work/live"
run_healthy cli cli_copy "$healthy" "$work/out.cli"
# The peers made to wait for the disk as well, as the synced job does before it says done.
run_healthy cp+sync bash -c "cp '$healthy' '$work/out.cp+sync' && sync --data '$work/out.cp+sync'"
run_healthy dd+sync dd if="$healthy" of="$work/out.dd+sync" bs=1M conv=fsync
run_healthy ddrescue+sync bash -c "ddrescue -q '$healthy' '$work/out.ddrescue+sync' '$work/map.ddrescue+sync' && sync --data '$work/out.ddrescue+sync'"
echo "  cli/ddrescue $(ratio "${took[ddrescue]}" "${took[cli]}")  (the command line, progress lines and syncing included)"
echo "  engine/cp $(ratio "${took[cp]}" "${took[engine]}")  engine/dd $(ratio "${took[dd]}" "${took[engine]}")  engine/ddrescue $(ratio "${took[ddrescue]}" "${took[engine]}")  (throughput ratios; target >= 1.0)"
echo "  synced/cp $(ratio "${took[cp]}" "${took[synced]}")  synced/dd $(ratio "${took[dd]}" "${took[synced]}")  synced/ddrescue $(ratio "${took[ddrescue]}" "${took[synced]}")  synced/engine $(ratio "${took[engine]}" "${took[synced]}")  (with its progress kept on disk)"
echo "  synced/cp+sync $(ratio "${took[cp+sync]}" "${took[synced]}")  synced/dd+sync $(ratio "${took[dd+sync]}" "${took[synced]}")  synced/ddrescue+sync $(ratio "${took[ddrescue+sync]}" "${took[synced]}")  (every tool's copy on the disk when it ends)"

echo "== damaged file: ${damaged_mib} MiB on faultyfs, ${delay_ms} ms per failed read"
damaged="$work/damaged.bin"
if [[ ! -f "$damaged" || $(stat -c %s "$damaged") -ne $((damaged_mib << 20)) ]]; then
    head -c $((damaged_mib << 20)) /dev/urandom >"$damaged"
fi
mib=$((1 << 20))
# Areas of different sizes at aligned, unaligned and sector-aligned places, and one at the end.
bad="$((3 * mib))-$((3 * mib + 4096))"
bad+=",$((17 * mib + 777))-$((17 * mib + 5000))"
bad+=",$((40 * mib + 123457))-$((40 * mib + 123458))"
bad+=",$((64 * mib + 512 * 301))-$((64 * mib + 512 * 301 + 65536))"
bad+=",$((100 * mib + 999999))-$((100 * mib + 1000003))"
bad+=",$((150 * mib + 4096 * 77))-$((150 * mib + 4096 * 77 + 20000))"
bad+=",$((200 * mib + 3))-$((200 * mib + 300000))"
bad+=",$((damaged_mib * mib - 1000))-$((damaged_mib * mib - 10))"
areas=8

mkdir -p "$mount_point"
"$faultyfs" --source "$damaged" --bad "$bad" --delay-ms "$delay_ms" "$mount_point" &
faulty_pid=$!
for _ in $(seq 100); do
    [[ -e "$mount_point/disk.img" ]] && break
    sleep 0.05
done
medium="$mount_point/disk.img"
failed_now() { awk '/^failed/ {print $2}' "$mount_point/stats"; }
reads_now() { awk '/^reads/ {print $2}' "$mount_point/stats"; }

declare -A failed reads
run_damaged() {
    local name=$1
    shift
    rm -f "$work/out.$name" "$work/map.$name"
    local f0 r0
    f0=$(failed_now)
    r0=$(reads_now)
    took[$name]=$(seconds "$@")
    failed[$name]=$(($(failed_now) - f0))
    reads[$name]=$(($(reads_now) - r0))
    printf '  %-10s %8.3f s %8.1f MB/s  reads %8d  failed reads %6d\n' "$name" "${took[$name]}" \
        "$(mbps "$((damaged_mib << 20))" "${took[$name]}")" "${reads[$name]}" "${failed[$name]}"
}
run_damaged ddrescue ddrescue -q "$medium" "$work/out.ddrescue" "$work/map.ddrescue"
run_damaged engine "$engine" "$medium" "$work/out.engine" --bad "$bad"
run_damaged cli cli_copy "$medium" "$work/out.cli"
cmp -s "$work/out.engine" "$work/out.cli" || { echo "cli: copy differs from the engine's" >&2; exit 1; }
echo "  cli/ddrescue $(ratio "${took[ddrescue]}" "${took[cli]}") (the command line's copy, byte-identical)"
reference=$("$engine" "$damaged" /dev/null --bad "$bad" | sed -n 's/.*reference_failed_reads=\([0-9]*\).*/\1/p')
echo "  engine/ddrescue $(ratio "${took[ddrescue]}" "${took[engine]}") (throughput ratio; target >= 1.0)"
echo "  failed reads: engine ${failed[engine]}, 4-byte loop ${reference}, extra per area" \
    "$(echo "scale=2; (${failed[engine]} - $reference) / $areas" | bc -l) (target <= 2)"

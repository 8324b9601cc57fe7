#!/usr/bin/env bash
# The disk image jobs side by side with dd bs=1M and GNU ddrescue, in one run:
#   1. medium to image: a healthy image (1 GiB by default) on a read-only loop device, caches
#      dropped before every pass, several rounds, best and median time of each tool; every
#      image must equal the medium;
#   2. image to medium: the same image written onto a loop device over a file, each tool's
#      writes flushed to the device inside its timing; the device must equal the image;
#   3. medium to image with damaged areas, served by the failing-media filesystem (faultyfs)
#      through a loop device.
# Prints throughput and the ratios of the image job's throughput to the peers'.
# Usage (as root): bench/run_image.sh [BUILD_DIR] [WORK_DIR]
# Environment: IMAGE_MIB (1024), DAMAGED_MIB (256), ROUNDS (3), DELAY_MS (failed-read delay, 2).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build}
work=${2:-/var/tmp/fragmentrove-bench}
image_mib=${IMAGE_MIB:-1024}
damaged_mib=${DAMAGED_MIB:-256}
rounds=${ROUNDS:-3}
delay_ms=${DELAY_MS:-2}

job="$build/bench/image_bench"
faultyfs="$build/tests/support/faultyfs/faultyfs"
[[ -x "$job" && -x "$faultyfs" ]] || cmake --build "$build" --target image_bench faultyfs

if [[ $(id -u) -ne 0 ]]; then
    echo "loop devices and dropping caches need root" >&2
    exit 1
fi
if ! command -v ddrescue >/dev/null; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends gddrescue >/dev/null
fi

mkdir -p "$work"
mount_point="$work/mnt"
loops=()
faulty_pid=
cleanup() {
    for loop in "${loops[@]}"; do losetup -d "$loop" 2>/dev/null || true; done
    if mountpoint -q "$mount_point" 2>/dev/null; then
        fusermount3 -u "$mount_point" 2>/dev/null || umount -l "$mount_point" || true
    fi
    [[ -n "$faulty_pid" ]] && wait "$faulty_pid" 2>/dev/null || true
    rm -f "$work"/img.* "$work"/map.* "$work/target.img"
}
trap cleanup EXIT

# Drops the medium from the cache, then loads the programs again: the job links Qt, whose
# libraries would otherwise be read from disk inside its timing.
drop_caches() {
    sync
    echo 3 >/proc/sys/vm/drop_caches
    "$job" >/dev/null 2>&1 || true
    ddrescue --version >/dev/null 2>&1 || true
}
seconds() {
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    echo "$end - $start" | bc -l
}
ratio() { echo "scale=2; $1 / $2" | bc -l; }
mbps() { echo "scale=1; $1 / 1000000 / $2" | bc -l; }
best() { printf '%s\n' "$@" | sort -g | head -1; }
median() { printf '%s\n' "$@" | sort -g | sed -n "$((($# + 1) / 2))p"; }
summary() {
    local bytes=$1
    shift
    for name in "$@"; do
        declare -n times="times_$name"
        printf '  %-10s best %6.3f s %8.1f MB/s   median %6.3f s %8.1f MB/s\n' "$name" \
            "$(best "${times[@]}")" "$(mbps "$bytes" "$(best "${times[@]}")")" \
            "$(median "${times[@]}")" "$(mbps "$bytes" "$(median "${times[@]}")")"
    done
    for name in "$@"; do
        [[ $name == image ]] && continue
        declare -n peer="times_$name"
        echo "  image/$name throughput: best $(ratio "$(best "${peer[@]}")" "$(best "${times_image[@]}")")," \
            "median $(ratio "$(median "${peer[@]}")" "$(median "${times_image[@]}")")"
    done
}

medium="$work/image-medium.img"
if [[ ! -f "$medium" || $(stat -c %s "$medium") -ne $((image_mib << 20)) ]]; then
    head -c $((image_mib << 20)) /dev/urandom >"$medium"
fi
bytes=$(stat -c %s "$medium")

echo "== medium to image: ${image_mib} MiB read-only loop device, ${rounds} rounds, caches dropped"
loop=$(losetup --read-only --find --show "$medium")
loops+=("$loop")
# "synced" is the job as the program runs it: its map and journal record kept on disk, the image
# synced before every commit and at the end; "dd+fsync" and "ddrescue+sync" are the peers made to
# wait for the disk as well.
live="$work/live"
mkdir -p "$live"
times_dd=() times_ddrescue=() times_image=() times_synced=() times_ddsync=() times_ddrsync=()
for round in $(seq "$rounds"); do
    rm -f "$work"/img.* "$work"/map.*
    drop_caches
    times_dd+=("$(seconds dd if="$loop" of="$work/img.dd" bs=1M)")
    drop_caches
    times_ddsync+=("$(seconds dd if="$loop" of="$work/img.ddsync" bs=1M conv=fsync)")
    drop_caches
    times_ddrescue+=("$(seconds ddrescue -q "$loop" "$work/img.ddrescue" "$work/map.ddrescue")")
    drop_caches
    times_ddrsync+=("$(seconds bash -c "ddrescue -q '$loop' '$work/img.ddrsync' '$work/map.ddrsync' && sync '$work/img.ddrsync'")")
    drop_caches
    times_image+=("$(seconds "$job" "$loop" "$work/img.image")")
    drop_caches
    times_synced+=("$(seconds "$job" "$loop" "$work/img.synced" --live "$live")")
    for name in dd ddsync ddrescue ddrsync image synced; do
        cmp -s "$medium" "$work/img.$name" || { echo "$name: the image differs" >&2; exit 1; }
    done
    printf '  round %d: dd %6.3f s, dd+fsync %6.3f s, ddrescue %6.3f s, ddrescue+sync %6.3f s, image %6.3f s, synced %6.3f s\n' \
        "$round" "${times_dd[-1]}" "${times_ddsync[-1]}" "${times_ddrescue[-1]}" \
        "${times_ddrsync[-1]}" "${times_image[-1]}" "${times_synced[-1]}"
done
summary "$bytes" dd ddsync ddrescue ddrsync image
echo "  synced/dd median $(ratio "$(median "${times_dd[@]}")" "$(median "${times_synced[@]}")")," \
    "synced/dd+fsync median $(ratio "$(median "${times_ddsync[@]}")" "$(median "${times_synced[@]}")")," \
    "synced/ddrescue median $(ratio "$(median "${times_ddrescue[@]}")" "$(median "${times_synced[@]}")")," \
    "synced/ddrescue+sync median $(ratio "$(median "${times_ddrsync[@]}")" "$(median "${times_synced[@]}")")"
rm -f "$work"/img.* "$work"/map.*

echo "== image to medium: ${image_mib} MiB onto a loop device, flushed, ${rounds} rounds"
truncate -s "$bytes" "$work/target.img"
target=$(losetup --find --show "$work/target.img")
loops+=("$target")
times_dd=() times_ddrescue=() times_image=() times_synced=()
for round in $(seq "$rounds"); do
    rm -f "$work"/map.*
    drop_caches
    times_dd+=("$(seconds dd if="$medium" of="$target" bs=1M conv=fsync)")
    drop_caches
    times_ddrescue+=("$(seconds bash -c "ddrescue -q -f '$medium' '$target' '$work/map.w' && sync '$target'")")
    blockdev --flushbufs "$target"
    dd if=/dev/zero of="$target" bs=1M count=1 conv=fsync status=none
    drop_caches
    times_image+=("$(seconds "$job" "$target" "$medium" --write)")
    cmp -s "$medium" "$target" || { echo "image: the medium differs" >&2; exit 1; }
    dd if=/dev/zero of="$target" bs=1M count=1 conv=fsync status=none
    drop_caches
    times_synced+=("$(seconds "$job" "$target" "$medium" --write --live "$live")")
    cmp -s "$medium" "$target" || { echo "synced: the medium differs" >&2; exit 1; }
    printf '  round %d: dd %6.3f s, ddrescue %6.3f s, image %6.3f s, synced %6.3f s\n' "$round" \
        "${times_dd[-1]}" "${times_ddrescue[-1]}" "${times_image[-1]}" "${times_synced[-1]}"
done
summary "$bytes" dd ddrescue image
echo "  synced/dd median $(ratio "$(median "${times_dd[@]}")" "$(median "${times_synced[@]}")")," \
    "synced/ddrescue median $(ratio "$(median "${times_ddrescue[@]}")" "$(median "${times_synced[@]}")")"

echo "== medium to image with damaged areas: ${damaged_mib} MiB on faultyfs through a loop device, ${delay_ms} ms per failed read"
damaged="$work/damaged.img"
if [[ ! -f "$damaged" || $(stat -c %s "$damaged") -ne $((damaged_mib << 20)) ]]; then
    head -c $((damaged_mib << 20)) /dev/urandom >"$damaged"
fi
mib=$((1 << 20))
bad="0-1"
bad+=",$((3 * mib + 512))-$((3 * mib + 1024))"
bad+=",$((17 * mib + 16384 - 3))-$((17 * mib + 16384 + 3))"
bad+=",$((64 * mib + 512 * 301))-$((64 * mib + 512 * 301 + 65536))"
bad+=",$((150 * mib + 999999))-$((150 * mib + 1000003))"
bad+=",$((damaged_mib * mib - 10))-$((damaged_mib * mib - 9))"
mkdir -p "$mount_point"
"$faultyfs" --source "$damaged" --bad "$bad" --delay-ms "$delay_ms" --exit-with-parent \
    "$mount_point" &
faulty_pid=$!
for _ in $(seq 100); do
    [[ -e "$mount_point/disk.img" ]] && break
    sleep 0.05
done
loop=$(losetup --read-only --find --show "$mount_point/disk.img")
loops+=("$loop")
times_ddrescue=() times_image=()
for round in $(seq "$rounds"); do
    rm -f "$work"/img.* "$work"/map.*
    drop_caches
    times_ddrescue+=("$(seconds ddrescue -q -d "$loop" "$work/img.ddrescue" "$work/map.ddrescue")")
    drop_caches
    times_image+=("$(seconds "$job" "$loop" "$work/img.image")")
    printf '  round %d: ddrescue %6.3f s, image %6.3f s  (%s)\n' "$round" \
        "${times_ddrescue[-1]}" "${times_image[-1]}" "$("$job" "$loop" "$work/img.check" | tr -d '\n')"
    rm -f "$work/img.check"
done
summary "$((damaged_mib << 20))" ddrescue image

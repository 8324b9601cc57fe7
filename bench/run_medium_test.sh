#!/usr/bin/env bash
# The medium test side by side with badblocks (read-only, block size = the cluster size), in
# one run:
#   1. a healthy image (2 GiB by default) on a read-only loop device, caches dropped before
#      every pass, several rounds, best and median time of each tool;
#   2. an image with damaged areas, served by the failing-media filesystem (faultyfs) through a
#      loop device, once for each failed-read delay: both tools must report the very same
#      unreadable blocks; the reads and failed reads the medium served to each are counted.
# Prints throughput, the ratio of the test's throughput to badblocks', and on the damaged image
# the failed reads of each tool and their ratio.
# Usage (as root): bench/run_medium_test.sh [BUILD_DIR] [WORK_DIR]
# Environment: MEDIUM_MIB (2048), DAMAGED_MIB (256, at least 64), CLUSTER (4096), ROUNDS (7),
# DELAYS_MS (the failed-read delays to run the damaged image with, "2 20"; DELAY_MS=N runs one).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build}
work=${2:-/var/tmp/fragmentrove-bench}
medium_mib=${MEDIUM_MIB:-2048}
damaged_mib=${DAMAGED_MIB:-256}
cluster=${CLUSTER:-4096}
rounds=${ROUNDS:-7}
delays_ms=${DELAY_MS:-${DELAYS_MS:-2 20}}

tester="$build/bench/medium_test_bench"
faultyfs="$build/tests/support/faultyfs/faultyfs"
[[ -x "$tester" && -x "$faultyfs" ]] || cmake --build "$build" --target medium_test_bench faultyfs

if [[ $(id -u) -ne 0 ]]; then
    echo "loop devices and dropping caches need root" >&2
    exit 1
fi
if ! command -v badblocks >/dev/null; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends e2fsprogs >/dev/null
fi

mkdir -p "$work"
mount_point="$work/mnt"
loops=()
faulty_pid=
# Detaches the loop devices and unmounts the failing medium.
release() {
    for loop in "${loops[@]}"; do losetup -d "$loop" 2>/dev/null || true; done
    loops=()
    if mountpoint -q "$mount_point" 2>/dev/null; then
        fusermount3 -u "$mount_point" 2>/dev/null || umount -l "$mount_point" || true
    fi
    [[ -n "$faulty_pid" ]] && wait "$faulty_pid" 2>/dev/null || true
    faulty_pid=
}
cleanup() {
    release
    rm -f "$work"/bad.*
}
trap cleanup EXIT

# Drops the medium from the cache, then loads both programs again: the test links Qt, whose
# libraries would otherwise be read from disk inside its timing.
drop_caches() {
    sync
    echo 3 >/proc/sys/vm/drop_caches
    "$tester" >/dev/null 2>&1 || true
    badblocks -V >/dev/null 2>&1 || true
}
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
best() { printf '%s\n' "$@" | sort -g | head -1; }
median() { printf '%s\n' "$@" | sort -g | sed -n "$((($# + 1) / 2))p"; }

echo "== healthy image: ${medium_mib} MiB, ${cluster}-byte clusters, ${rounds} rounds, caches dropped"
image="$work/medium.img"
if [[ ! -f "$image" || $(stat -c %s "$image") -ne $((medium_mib << 20)) ]]; then
    head -c $((medium_mib << 20)) /dev/urandom >"$image"
fi
bytes=$(stat -c %s "$image")
loop=$(losetup --read-only --find --show "$image")
loops+=("$loop")
badblocks_times=()
test_times=()
for round in $(seq "$rounds"); do
    drop_caches
    badblocks_times+=("$(seconds badblocks -b "$cluster" -s "$loop")")
    drop_caches
    test_times+=("$(seconds "$tester" "$loop" "$cluster")")
    printf '  round %d: badblocks %6.3f s, medium test %6.3f s\n' "$round" \
        "${badblocks_times[-1]}" "${test_times[-1]}"
done
for name in badblocks test; do
    declare -n times="${name}_times"
    printf '  %-12s best %6.3f s %8.1f MB/s   median %6.3f s %8.1f MB/s\n' "$name" \
        "$(best "${times[@]}")" "$(mbps "$bytes" "$(best "${times[@]}")")" \
        "$(median "${times[@]}")" "$(mbps "$bytes" "$(median "${times[@]}")")"
done
echo "  medium test / badblocks throughput: best $(ratio "$(best "${badblocks_times[@]}")" \
    "$(best "${test_times[@]}")"), median $(ratio "$(median "${badblocks_times[@]}")" \
    "$(median "${test_times[@]}")") (target >= 1.0)"

damaged="$work/damaged.img"
damaged_bytes=$((damaged_mib << 20))
if [[ ! -f "$damaged" || $(stat -c %s "$damaged") -ne $damaged_bytes ]]; then
    head -c "$damaged_bytes" /dev/urandom >"$damaged"
fi
# Where the n-th 256th of the image starts, on a cluster boundary.
at() { echo $(($1 * damaged_bytes / 256 / cluster * cluster)); }
# Areas of different sizes: one byte, a sector, across a cluster boundary, 64 KiB, 20 single
# bytes in every other cluster, 1 MiB (across several of badblocks' 64-block reads), in the
# first cluster and in the last one.
bad="0-1"
bad+=",$(($(at 3) + 512))-$(($(at 3) + 1024))"
bad+=",$(($(at 17) + cluster - 3))-$(($(at 17) + cluster + 3))"
bad+=",$(($(at 64) + 512 * 301))-$(($(at 64) + 512 * 301 + 65536))"
for k in $(seq 0 19); do
    bad+=",$(($(at 100) + 2 * k * cluster + 100))-$(($(at 100) + 2 * k * cluster + 101))"
done
bad+=",$(($(at 150) + 999999))-$(($(at 150) + 1000003))"
bad+=",$(($(at 200) + 12345))-$(($(at 200) + 12345 + (1 << 20)))"
bad+=",$((damaged_bytes - 10))-$((damaged_bytes - 9))"

# Reads and failed reads the medium itself served since the last call, from the filesystem's
# counters: the loop device and the cache in between merge and split the tools' own reads.
medium_reads() {
    local reads failed
    read -r _ reads < <(sed -n 1p "$mount_point/stats")
    read -r _ failed < <(sed -n 2p "$mount_point/stats")
    echo "$((reads - last_reads)) $((failed - last_failed))"
    last_reads=$reads
    last_failed=$failed
}

for delay_ms in $delays_ms; do
    echo "== damaged image: ${damaged_mib} MiB on faultyfs through a loop device, ${delay_ms} ms per failed read"
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
    last_reads=0
    last_failed=0
    badblocks_times=()
    test_times=()
    for round in $(seq "$rounds"); do
        drop_caches
        medium_reads >/dev/null
        badblocks_times+=("$(seconds badblocks -b "$cluster" -o "$work/bad.badblocks" "$loop")")
        read -r badblocks_reads badblocks_failed < <(medium_reads)
        drop_caches
        medium_reads >/dev/null
        test_times+=("$(seconds "$tester" "$loop" "$cluster" --failed-list "$work/bad.test")")
        read -r test_reads test_failed < <(medium_reads)
        printf '  round %d: badblocks %6.3f s, %4d failed reads; medium test %6.3f s, %4d failed reads\n' \
            "$round" "${badblocks_times[-1]}" "$badblocks_failed" "${test_times[-1]}" "$test_failed"
        if ! cmp -s "$work/bad.badblocks" "$work/bad.test"; then
            echo "  the unreadable clusters differ:" >&2
            diff "$work/bad.badblocks" "$work/bad.test" >&2 || true
            exit 1
        fi
    done
    echo "  the same $(wc -l <"$work/bad.test") unreadable clusters in every round"
    echo "  on the medium, last round: badblocks $badblocks_reads reads, $badblocks_failed failed;" \
        "medium test $test_reads reads, $test_failed failed"
    echo "  failed reads: medium test $test_failed, badblocks $badblocks_failed," \
        "difference $((test_failed - badblocks_failed)) (target <= 0)"
    for name in badblocks test; do
        declare -n times="${name}_times"
        printf '  %-12s best %6.3f s %8.1f MB/s   median %6.3f s %8.1f MB/s\n' "$name" \
            "$(best "${times[@]}")" "$(mbps "$damaged_bytes" "$(best "${times[@]}")")" \
            "$(median "${times[@]}")" "$(mbps "$damaged_bytes" "$(median "${times[@]}")")"
    done
    echo "  medium test / badblocks throughput: best $(ratio "$(best "${badblocks_times[@]}")" \
        "$(best "${test_times[@]}")"), median $(ratio "$(median "${badblocks_times[@]}")" \
        "$(median "${test_times[@]}")")"
    release
done

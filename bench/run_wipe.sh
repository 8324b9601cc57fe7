#!/usr/bin/env bash
# Secure deletion side by side with `shred -n 3` (three random passes, each flushed to the
# device, the file kept) in one run: the same file size for both, written afresh and flushed
# before each pass, the two tools taking turns over several rounds so that other work on the
# machine falls on both alike. Our wipe also deletes the file, inside its timing.
# Prints each time, the median of each tool and the ratio of shred's time to ours (1.0 or
# more: ours is no slower).
# Usage: bench/run_wipe.sh [BUILD_DIR] [WORK_DIR]
# Environment: WIPE_MIB (1024), ROUNDS (5).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build}
work=${2:-/var/tmp/fragmentrove-bench}
wipe_mib=${WIPE_MIB:-1024}
rounds=${ROUNDS:-5}

wipe="$build/bench/wipe_bench"
[[ -x "$wipe" ]] || cmake --build "$build" --target wipe_bench
if ! command -v bc >/dev/null; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends bc >/dev/null
fi

mkdir -p "$work"
file="$work/wipe.bin"
trap 'rm -f "$file"' EXIT

fresh_file() {
    rm -f "$file"
    dd if=/dev/zero of="$file" bs=1M count="$wipe_mib" conv=fsync status=none
    sync
}
seconds() {
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null
    end=$(date +%s.%N)
    echo "$end - $start" | bc -l
}
median() {
    sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

shred_times=()
wipe_times=()
for ((round = 1; round <= rounds; ++round)); do
    fresh_file
    shred_times+=("$(seconds shred -n 3 "$file")")
    fresh_file
    wipe_times+=("$(seconds "$wipe" "$file")")
    [[ ! -e "$file" ]] || { echo "the wipe left the file behind" >&2; exit 1; }
    printf 'round %d: shred -n 3 %.2f s, wipe %.2f s\n' "$round" "${shred_times[-1]}" "${wipe_times[-1]}"
done

shred_median=$(printf '%s\n' "${shred_times[@]}" | median)
wipe_median=$(printf '%s\n' "${wipe_times[@]}" | median)
printf '%d MiB, %d rounds: shred -n 3 median %.2f s, wipe median %.2f s, ratio %.2f\n' \
    "$wipe_mib" "$rounds" "$shred_median" "$wipe_median" "$(echo "$shred_median / $wipe_median" | bc -l)"

#!/usr/bin/env bash
# Rips and encodes a 60-second track of a BIN/CUE disc through the ripper component, and the
# same track with cd-paranoia followed by lame at the same settings; prints the times and the
# ratio of their speeds (above 1: the ripper is faster). Runs RUNS times (default 5).
set -euo pipefail

build=${1:-build}
work=${2:-/var/tmp/fragmentrove-rip-bench}
runs=${RUNS:-5}
seconds=${SECONDS_OF_SOUND:-60}

for tool in cd-paranoia lame bc; do
    if ! command -v "$tool" >/dev/null; then
        echo "installing $tool (packages cd-paranoia, lame, bc)"
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
            cd-paranoia lame bc >/dev/null
    fi
done

bench="$build/bench/rip_encode_bench"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
"$bench" make-disc "$work" "$seconds"

now() { date +%s.%N; }
for ((run = 1; run <= runs; run++)); do
    rm -f "$work"/out*.mp3 "$work"/peer.wav
    start=$(now)
    "$bench" rip "$work/disc.cue" 1 "$work/out.mp3" >/dev/null
    ours=$(echo "$(now) - $start" | bc)

    # Same work: full jitter correction, then VBR quality 4 within 128..320 kbit/s, CRC on,
    # stereo, the encoder's normal quality.
    start=$(now)
    cd-paranoia -q -d "$work/disc.cue" 1 "$work/peer.wav" 2>/dev/null
    lame --quiet -V 4 -b 128 -B 320 -p -q 5 -m s "$work/peer.wav" "$work/peer.mp3"
    peer=$(echo "$(now) - $start" | bc)

    printf 'run %d: ripper %.2f s, cd-paranoia + lame %.2f s, ratio %.2f\n' \
        "$run" "$ours" "$peer" "$(echo "$peer / $ours" | bc -l)"
done

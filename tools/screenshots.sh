#!/usr/bin/env bash
# Takes the README's pictures of the program: the welcome page and the copy-files page with a
# rescue copy at about half way, in each skin (and, with --languages, the welcome page in every
# language), under a virtual display. With --help it takes only the help window, in English at
# the copy-files topic and in German at the settings topic. Needs a built tree (scripts/setup),
# Xvfb, xdotool, ImageMagick's import and the failing-medium filesystem of the tests (root and
# /dev/fuse). With --format it takes the format page and its dialog in every language; with
# --pages the pages whose captions must fit in every language, each in every language; with
# --secure-deletion only the secure-deletion page, in every language. With --map a copy from a
# slow healthy medium (speed and time left in the gauge) and the map window after a copy from a
# medium with three bad places.
#
#   tools/screenshots.sh [--languages | --help | --format | --pages | --secure-deletion | --map]
#                        [OUTPUT_DIR]
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
languages=0
help=0
format=0
pages=0
secure_deletion=0
map=0
if [[ "${1:-}" == "--map" ]]; then
    map=1
    shift
elif [[ "${1:-}" == "--secure-deletion" ]]; then
    secure_deletion=1
    shift
elif [[ "${1:-}" == "--format" ]]; then
    format=1
    shift
elif [[ "${1:-}" == "--languages" ]]; then
    languages=1
    shift
elif [[ "${1:-}" == "--help" ]]; then
    help=1
    shift
elif [[ "${1:-}" == "--pages" ]]; then
    pages=1
    shift
fi
out=$(realpath -m "${1:-$root/docs}")
program="$root/build/src/fragmentrove"
faultyfs="$root/build/tests/support/faultyfs/faultyfs"
for tool in Xvfb xdotool import "$program" "$faultyfs"; do
    command -v "$tool" >/dev/null || { echo "screenshots: $tool is missing" >&2; exit 1; }
done
mkdir -p "$out"

work=$(mktemp -d)
display=":$((90 + $$ % 50))"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    fusermount3 -u "$work/medium" 2>/dev/null || true
    sleep 0.3
    rm -rf "$work"
}
trap cleanup EXIT

# -noreset: the server would otherwise reset whenever the last xdotool call leaves, and drop a
# program that connects at that moment.
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp -noreset 2>/dev/null &
pids+=($!)
export DISPLAY=$display XDG_RUNTIME_DIR=$work/runtime
# Pictures need no update check: a closed local port, so nothing leaves the machine.
export FRAGMENTROVE_UPDATE_SERVER=https://127.0.0.1:1
unset QT_QPA_PLATFORM
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

# A 4 MiB medium whose second half answers slowly and fails: the copy reaches half way at
# once and then crawls, one fill block at a time.
mkdir -p "$work/medium" "$work/copies"
head -c $((4 * 1024 * 1024)) /dev/urandom >"$work/photos.img"
"$faultyfs" --source "$work/photos.img" --name photos.img --exit-with-parent \
    --bad "$((2 * 1024 * 1024 + 4096))-$((4 * 1024 * 1024))" --delay-ms 300 "$work/medium" &
pids+=($!)
for _ in $(seq 50); do [[ -e "$work/medium/photos.img" ]] && break; sleep 0.1; done

# settings.ini with this language and skin, the rest as shipped.
prepare() { # LANGUAGE SKIN
    local dir=$work/program
    rm -rf "$dir"
    "$root/build/src/fragmentrove-cli" --program-dir "$dir" setup >/dev/null
    awk -v language="$1" -v skin="$2" 'NR == 2 { $0 = language "\r" } NR == 11 { $0 = skin "\r" } 1' \
        "$root/data/settings.ini" >"$dir/settings.ini"
    mkdir -p "$dir/dosdevices"
    ln -sfn "$work/medium" "$dir/dosdevices/d:"
    ln -sfn "$work/copies" "$dir/dosdevices/e:"
}

window=""
start() {
    (cd "$work/program" && exec "$program") &
    pids+=($!)
    for _ in $(seq 100); do
        window=$(xdotool search --name "Fragmentrove 3.1" 2>/dev/null | head -1) && [[ -n "$window" ]] && break
        sleep 0.1
    done
    sleep 0.5
}
stop() {
    kill "${pids[-1]}" 2>/dev/null || true
    wait "${pids[-1]}" 2>/dev/null || true
    unset 'pids[-1]'
}
click() { # X Y within the window
    eval "$(xdotool getwindowgeometry --shell "$window")"
    xdotool mousemove $((X + $1)) $((Y + $2)) click 1
    sleep 0.2
}
shot() { # FILE
    eval "$(xdotool getwindowgeometry --shell "$window")"
    xdotool mousemove 1000 700
    sleep 0.3
    import -window root -crop "500x330+$X+$Y" +repage "$1"
    echo "screenshots: $1"
}

# The help window of the page shown: its title ends in the language's word for help.
help_shot() { # LANGUAGE COMMAND_TOP FILE
    prepare "$1" 0
    start
    click $((2 + 60)) $(($2 + 11))
    click $((444 + 8)) $((5 + 7))                    # the help picture
    local help_window=""
    for _ in $(seq 50); do
        help_window=$(xdotool search --name "Fragmentrove 3.1 - " 2>/dev/null | head -1) && [[ -n "$help_window" ]] && break
        sleep 0.1
    done
    [[ -n "$help_window" ]] || { echo "screenshots: the help window did not open" >&2; exit 1; }
    xdotool mousemove 1000 700
    sleep 0.5
    import -window "$help_window" "$3"
    echo "screenshots: $3"
    stop
}
if ((help)); then
    help_shot 2 56 "$out/help-eng.png"                # copy files
    help_shot 4 $((56 + 8 * 24)) "$out/help-ger.png"  # settings
    exit 0
fi

# The format page on C: (the running system, refused), then with drive G: (a blank image)
# chosen, and its dialog open over the window.
format_shots() {
    local codes=(svk cze eng spa ger fra)
    truncate -s 8M "$work/stick.img"
    for language in 0 1 2 3 4 5; do
        prepare "$language" 0
        ln -sfn "$work/stick.img" "$work/program/dosdevices/g::"
        start
        click $((2 + 60)) $((200 + 11))              # format
        shot "$out/format-system-${codes[$language]}.png" # C: holds the system: refused
        click $((168 + 70)) $((120 + 10))
        xdotool type G
        xdotool key Return
        sleep 0.3
        shot "$out/format-${codes[$language]}.png"
        click $((320 + 57)) $((119 + 10))            # the dialog, centred 20 pixels down
        sleep 0.8
        eval "$(xdotool getwindowgeometry --shell "$window")"
        xdotool mousemove 1000 700
        sleep 0.3
        import -window root -crop "340x290+$((X + 80))+$((Y + 20))" +repage \
            "$out/format-dialog-${codes[$language]}.png"
        echo "screenshots: $out/format-dialog-${codes[$language]}.png"
        stop
    done
}
# The sector viewer in every language, showing the boot sector of a FAT image in drive F:.
sector_viewer_shots() {
    local codes=(svk cze eng spa ger fra)
    mkfs.fat -C -n DATA -i 1234abcd "$work/data.img" 16384 >/dev/null
    for language in 0 1 2 3 4 5; do
        prepare "$language" 0
        ln -sfn "$work/data.img" "$work/program/dosdevices/f::"
        start
        click $((2 + 60)) $((224 + 11))              # the sector viewer
        click $((168 + 70)) $((110 + 10))            # the drive box
        xdotool type F
        xdotool key Return
        sleep 0.3
        click $((168 + 36)) $((290 + 10))            # read the drive
        click $((320 + 40)) $((110 + 10))            # the sector number: the boot sector
        xdotool key ctrl+a
        xdotool type 0
        sleep 0.5
        shot "$out/sector-viewer-${codes[$language]}.png"
        stop
    done
}
# The secure-deletion page in every language, a file named in its field.
secure_deletion_shots() {
    local codes=(svk cze eng spa ger fra)
    for language in 0 1 2 3 4 5; do
        prepare "$language" 0
        start
        click $((2 + 60)) $((296 + 11))              # secure deletion
        click $((168 + 100)) $((170 + 10))
        xdotool type --delay 5 'E:\letters\old-bank-statement.pdf'
        shot "$out/secure-deletion-${codes[$language]}.png"
        stop
    done
}
# A slow healthy medium (2 MiB/s) and a fast one with three bad places, side by side.
map_shots() {
    mkdir -p "$work/slow" "$work/bad"
    head -c $((24 * 1024 * 1024)) /dev/urandom >"$work/video.img"
    "$faultyfs" --source "$work/video.img" --name video.img --exit-with-parent \
        --rate $((2 * 1024 * 1024)) "$work/slow" &
    pids+=($!)
    head -c $((8 * 1024 * 1024)) /dev/urandom >"$work/thesis.img"
    "$faultyfs" --source "$work/thesis.img" --name thesis.img --exit-with-parent \
        --bad "1000000-1000100,4000000-4300000,7000000-7000004" "$work/bad" &
    pids+=($!)
    for _ in $(seq 50); do [[ -e "$work/bad/thesis.img" && -e "$work/slow/video.img" ]] && break; sleep 0.1; done
    prepare 2 0
    ln -sfn "$work/slow" "$work/program/dosdevices/f:"
    ln -sfn "$work/bad" "$work/program/dosdevices/g:"
    start
    click $((2 + 60)) $((56 + 11))                   # copy files
    click $((168 + 100)) $((120 + 10))
    xdotool type --delay 5 'F:\video.img'
    click $((168 + 100)) $((170 + 10))
    xdotool type --delay 5 'E:\video.img'
    click $((336 + 44)) $((200 + 10))                # start
    sleep 4
    shot "$out/copy-speed.png"
    click $((336 + 44)) $((240 + 10))                # stop
    sleep 1
    click $((168 + 100)) $((120 + 10))
    xdotool key ctrl+a
    xdotool type --delay 5 'G:\thesis.img'
    click $((168 + 100)) $((170 + 10))
    xdotool key ctrl+a
    xdotool type --delay 5 'E:\thesis.img'
    click $((336 + 44)) $((200 + 10))                # start
    local map_window=""
    for _ in $(seq 100); do
        map_window=$(xdotool search --name "thesis.img" 2>/dev/null | head -1) && [[ -n "$map_window" ]] && break
        sleep 0.1
    done
    sleep 0.3
    xdotool mousemove 1000 700
    import -window "$map_window" "$out/copy-map.png"
    echo "screenshots: $out/copy-map.png"
    stop
}

if ((map)); then
    map_shots
    exit 0
elif ((secure_deletion)); then
    secure_deletion_shots
    exit 0
elif ((format)); then
    format_shots
    exit 0
elif ((pages)); then
    sector_viewer_shots
    exit 0
fi

skins=(classic nature banana)
for skin in 0 1 2; do
    prepare 2 "$skin"
    start
    shot "$out/welcome-${skins[$skin]}.png"
    click $((2 + 60)) $((56 + 11))                   # copy files
    click $((168 + 100)) $((120 + 10))
    xdotool type --delay 5 'D:\photos.img'
    click $((168 + 100)) $((170 + 10))
    xdotool type --delay 5 "E:\\photos-${skins[$skin]}.img"
    click $((336 + 44)) $((200 + 10))                # start
    for _ in $(seq 100); do
        (($(stat -c %s "$work/copies/photos-${skins[$skin]}.img" 2>/dev/null || echo 0) > 2 * 1024 * 1024)) && break
        sleep 0.1
    done
    sleep 1
    shot "$out/copy-files-${skins[$skin]}.png"
    stop
done

if ((languages)); then
    codes=(svk cze eng spa ger fra)
    for language in 0 1 2 3 4 5; do
        prepare "$language" 0
        start
        shot "$out/welcome-${codes[$language]}.png"
        stop
    done
fi

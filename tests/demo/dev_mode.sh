#!/usr/bin/env bash
# The authoring mode through the real binary under a virtual X display, with
# keys sent by xdotool; pictures compared byte for byte with the frames a
# headless capture writes at the same times (F12 writes the picture shown,
# without the overlay).
#   dev_mode.sh TARVEL JOLP_OGG
# Run through xvfb-run (see CMakeLists.txt).
set -u
tarvel=$1
tone_ogg=$2
run=$(dirname "$tarvel")
work=$(mktemp -d)
pid=0
trap '[ "$pid" -gt 0 ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
size=320x180
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# A data folder: the generated content linked, the effect files copied so
# that a test may edit them.
data=$work/data
mkdir -p "$data"
for entry in "$run"/*; do
    name=$(basename "$entry")
    [ "$name" = shaders ] || [ "$name" = tarvel ] || ln -s "$entry" "$data/$name"
done
cp -r "$run/shaders" "$data/shaders"

# Frames a capture writes: capture FROM TO -> $work/cap/frame_NNNNNN.png
capture() {
    "$tarvel" --data "$data" --capture "$work/cap" --size $size --from "$1" --to "$2" 2>>"$work/capture.err" ||
        fail "capture $1 to $2 failed: $(tail -n 3 "$work/capture.err")"
}

# start ARGS...: launches the demo in a window, waits for it.
start() {
    (cd "$work/shots" && exec "$tarvel" --data "$data" --windowed --size $size "$@" 2>"$work/stderr") &
    pid=$!
    window=$(timeout 30 xdotool search --sync --name '^Tarvel$' | head -n 1)
    if [ -z "$window" ]; then
        fail "no window appeared for $*"; cat "$work/stderr"; return 1
    fi
    sleep 1
}
keys() { xdotool windowfocus --sync "$window" key --delay 150 "$@"; sleep 0.6; }
stop() {
    keys Escape
    for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
    if kill -0 "$pid" 2>/dev/null; then fail "still running after Escape"; kill -9 "$pid"; fi
    wait "$pid" || fail "exit status $? (stderr: $(tail -n 5 "$work/stderr"))"
    pid=0
}
# same SHOT_MS FRAME: the picture F12 wrote at SHOT_MS is the capture's FRAME.
same() {
    local shot=$work/shots/$(printf 'tarvel_shot_%06d.png' "$1")
    local frame=$work/cap/$(printf 'frame_%06d.png' "$2")
    if [ ! -f "$shot" ]; then fail "no picture written at $1 ms ($(ls "$work/shots" | tr '\n' ' '))"; return; fi
    cmp -s "$shot" "$frame" || fail "the picture at $1 ms differs from the capture's frame $2"
}

mkdir -p "$work/shots" "$work/cap"
capture 15 15.05
capture 20 20.05
capture 88 88.05
capture 90 90.05

echo "== seeking lands on the picture a capture writes there"
if start --dev; then
    # Paused, back to 0, then 4 x 5 s on: 20 s; a frame on; 5 s back.
    keys space Home Right Right Right Right F12 ctrl+Right F12 Left F12
    # Into the swarm (90 s) and back by seconds to 88 s: particles replayed.
    keys Right Right Right Right Right Right Right Right Right Right Right Right Right Right Right F12
    keys shift+Left shift+Left F12
    stop
    same 20000 600
    same 20033 601
    same 15033 451
    same 90033 2701
    same 88033 2641
    grep -q "at most .* ms apart\|never played long enough" "$work/stderr" || fail "no report of the music's gap"
fi

echo "== --start plays from the picture a capture writes there"
rm -f "$work"/shots/*
if start --dev --start 20; then
    keys space Home Right Right Right Right F12
    stop
    same 20000 600
fi

echo "== L loops the shot shown"
rm -f "$work"/shots/*
if start --dev --start 3.5; then
    # Camera01 runs 0 to 5 s: after 2.5 s of looping it plays near 1 s.
    keys l
    sleep 2.5
    keys space F12
    stop
    shot=$(ls "$work/shots" | head -n 1)
    ms=$(echo "$shot" | sed -n 's/tarvel_shot_0*\([0-9][0-9]*\)\.png/\1/p')
    if [ -z "$ms" ]; then
        fail "no picture written while looping"
    elif [ "$ms" -ge 3500 ]; then
        fail "at $ms ms after looping from 3.5 s: the loop did not return to the shot's start"
    fi
    grep -q "looping Camera01, 0.000 to 5.000 s" "$work/stderr" || fail "no message naming the looped shot"
fi

echo "== a broken effect file keeps the last good picture and says why"
rm -f "$work"/shots/*
if start --dev --start 20; then
    keys space Home Right Right Right Right F12
    mv "$work/shots/tarvel_shot_020000.png" "$work/shots/good.png"
    cp "$data/shaders/master.fx" "$work/master.fx.good"
    sed -i 's/outColor = vec4(c \* clamp(fade, 0.0, 1.0), 1.0);/outColor = vec4(c * nothing, 1.0);/' "$data/shaders/master.fx"
    sleep 1
    keys F12
    mv "$work/shots/tarvel_shot_020000.png" "$work/shots/broken.png"
    # A good edit takes effect: half as bright.
    sed 's/outColor = vec4(c \* clamp(fade, 0.0, 1.0), 1.0);/outColor = vec4(c * clamp(fade, 0.0, 1.0) * 0.5, 1.0);/' \
        "$work/master.fx.good" > "$work/master.fx.half"
    mv "$work/master.fx.half" "$data/shaders/master.fx"
    sleep 1
    keys F12
    stop
    cmp -s "$work/shots/good.png" "$work/shots/broken.png" || fail "the broken effect changed the picture"
    cmp -s "$work/shots/good.png" "$work/shots/tarvel_shot_020000.png" && fail "the fixed effect was not reloaded"
    grep -q "does not compile" "$work/stderr" || fail "no message for the broken effect"
    grep -q "master.fx:" "$work/stderr" || fail "the message does not name master.fx with its line"
    grep -q "effect files reloaded" "$work/stderr" || fail "no message for the reload"
    cp "$work/master.fx.good" "$data/shaders/master.fx"
fi

echo "== without --dev the same keys change nothing"
"$tone_ogg" --tone 3 "$work/short.ogg" || fail "jolp_ogg failed"
quiet=$work/quiet
mkdir -p "$quiet/media"
cp -r "$run/shaders" "$quiet/"
cp "$work/short.ogg" "$quiet/media/music.ogg"
data_saved=$data
data=$quiet
rm -f "$work"/shots/*
began=$(date +%s%N)
if start; then
    keys space Home Left l F12 ctrl+Left shift+Left space
    for _ in $(seq 1 200); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
    elapsed=$(( ($(date +%s%N) - began) / 1000000 ))
    if kill -0 "$pid" 2>/dev/null; then
        fail "the 3 s demo still plays after ${elapsed} ms: a key paused or rewound it"; kill -9 "$pid"
    else
        wait "$pid" || fail "exit status $?"
    fi
    pid=0
    [ -z "$(ls "$work/shots")" ] || fail "F12 wrote a picture without --dev"
    echo "ended by itself after ${elapsed} ms"
fi
data=$data_saved

if [ "$failures" -gt 0 ]; then
    echo "$failures failure(s)"; exit 1
fi
echo "all passed"

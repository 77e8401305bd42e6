#!/usr/bin/env bash
# Under a virtual X display: with a short music file the windowed demo ends
# by itself once the music's length has elapsed, with exit 0.
#   windowed_music_end.sh TARVEL JOLP_OGG
set -u
tarvel=$1
tone=$2
data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT
mkdir -p "$data/media"
cp -r "$(dirname "$tarvel")/shaders" "$data/"
"$tone" --tone 1.5 "$data/media/music.ogg" || exit 1

start=$(date +%s%N)
timeout 30 "$tarvel" --windowed --data "$data" 2>"$data/stderr"
rc=$?
elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
echo "exit $rc after ${elapsed_ms} ms (music: 1500 ms)"
[ "$rc" -eq 0 ] || { echo "FAIL: exit code $rc"; cat "$data/stderr"; exit 1; }
[ "$elapsed_ms" -ge 1500 ] || { echo "FAIL: ended before the music's length"; exit 1; }

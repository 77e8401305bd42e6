#!/usr/bin/env bash
# Renders the middle of each of the twenty shots with the real renderer and
# tiles them, five by four, into docs/contact-sheet.jpg for the README.
# Usage: scripts/contact_sheet.sh [RUN_FOLDER]   (default: build/release/run,
# which `cmake --build --preset release` leaves with the demo and its data)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
run="${1:-$root/build/release/run}"
tarvel="$run/tarvel"
[ -x "$tarvel" ] || { echo "contact_sheet: no $tarvel; build the release preset first" >&2; exit 1; }
command -v ffmpeg >/dev/null || { echo "contact_sheet: ffmpeg is needed" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# The cuts, in milliseconds: shot k runs from cuts[k-1] to cuts[k].
cuts=(0 5000 10000 13600 22300 31200 40100 51200 66000 95400 104400 112700 130100 133800 139400 145000 149300
  155000 158600 175600 204400)
seconds() { printf '%d.%03d' $(($1 / 1000)) $(($1 % 1000)); }

for k in $(seq 1 20); do
  middle=$(((cuts[k - 1] + cuts[k]) / 2 / 100 * 100))
  if ! "$tarvel" --data "$run" --capture "$work/shot$k" --fps 10 --size 640x480 \
    --from "$(seconds $middle)" --to "$(seconds $((middle + 100)))" >"$work/log" 2>&1; then
    echo "contact_sheet: capturing shot $k failed:" >&2
    cat "$work/log" >&2
    exit 1
  fi
  frame="$work/shot$k/frame_$(printf '%06d' $((middle / 100))).png"
  [ -f "$frame" ] || { echo "contact_sheet: $frame was not written" >&2; exit 1; }
  mv "$frame" "$work/$(printf 'tile%02d' "$k").png"
done

# The 640 x 360 picture inside the letterbox, at half size, five by four.
mkdir -p "$root/docs"
if ! ffmpeg -v error -y -framerate 1 -i "$work/tile%02d.png" \
  -vf "crop=640:360:0:60,scale=256:144,tile=5x4:padding=2:color=black" -frames:v 1 -q:v 5 \
  "$root/docs/contact-sheet.jpg"; then
  echo "contact_sheet: ffmpeg could not tile the frames" >&2
  exit 1
fi
ls -l "$root/docs/contact-sheet.jpg"

#!/usr/bin/env bash
# Under a virtual X display: the windowed demo ends on Escape with exit 0.
#   windowed_escape.sh TARVEL [--fullscreen]
# Run through xvfb-run (see CMakeLists.txt).
set -u
tarvel=$1
mode=${2:---windowed}
data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT
cp -r "$(dirname "$tarvel")/shaders" "$data/"
args=(--data "$data")
[ "$mode" = "--windowed" ] && args+=(--windowed)

"$tarvel" "${args[@]}" 2>"$data/stderr" &
pid=$!
window=$(timeout 20 xdotool search --sync --name '^Tarvel$' | head -n 1)
if [ -z "$window" ]; then
    echo "FAIL: no window titled Tarvel appeared"; cat "$data/stderr"; kill "$pid" 2>/dev/null; exit 1
fi
# Other keys do nothing.
sleep 0.3
xdotool windowfocus --sync "$window" key space a Return
sleep 0.3
if ! kill -0 "$pid" 2>/dev/null; then
    echo "FAIL: the demo ended on a key other than Escape"; cat "$data/stderr"; exit 1
fi
start=$(date +%s%N)
xdotool windowfocus --sync "$window" key Escape
for _ in $(seq 1 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
done
if kill -0 "$pid" 2>/dev/null; then
    echo "FAIL: still running 5 s after Escape"; kill -9 "$pid"; exit 1
fi
wait "$pid"
rc=$?
elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
echo "exit $rc, ${elapsed_ms} ms after Escape"
[ "$rc" -eq 0 ] || { echo "FAIL: exit code $rc"; cat "$data/stderr"; exit 1; }

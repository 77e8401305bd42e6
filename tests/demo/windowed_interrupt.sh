#!/usr/bin/env bash
# Under a virtual X display: SIGINT or SIGTERM ends tarvel at once with
# exit 1, whether it waits in its "ERROR" box or plays in a window, and the
# box (shown from a child process) goes with it.
#   windowed_interrupt.sh TARVEL
# Run through xvfb-run (see CMakeLists.txt).
set -u
tarvel=$1
data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT
cp -r "$(dirname "$tarvel")/shaders" "$data/"

# Waits up to 5 s for pid to end; prints its exit status, or fails.
ends_within_5s() {
    local pid=$1 what=$2
    for _ in $(seq 1 100); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
    done
    if kill -0 "$pid" 2>/dev/null; then
        echo "FAIL: still running 5 s after $what"; cat "$data/stderr"; kill -9 "$pid"; exit 1
    fi
    wait "$pid"
}

expect_exit_1() {
    local rc=$1 what=$2
    echo "$what: exit $rc"
    [ "$rc" -eq 1 ] || { echo "FAIL: exit $rc after $what, expected 1"; cat "$data/stderr"; exit 1; }
    grep -q "interrupted" "$data/stderr" || { echo "FAIL: no 'interrupted' line"; cat "$data/stderr"; exit 1; }
}

# 1. An effect file that does not compile: the "ERROR" box waits for a click.
cp "$data/shaders/master.fx" "$data/master.fx.good"
: > "$data/shaders/master.fx"
"$tarvel" --data "$data" --windowed 2>"$data/stderr" &
pid=$!
for _ in $(seq 1 400); do
    grep -q '^ERROR:' "$data/stderr" && break
    sleep 0.05
done
sleep 1
if ! kill -0 "$pid" 2>/dev/null; then
    echo "FAIL: no ERROR box waited (is xfonts-base installed?)"; cat "$data/stderr"; exit 1
fi
kill -INT "$pid"
ends_within_5s "$pid" "SIGINT in the ERROR box"
expect_exit_1 $? "SIGINT in the ERROR box"
for _ in $(seq 1 40); do
    pgrep -f -- "--data $data" >/dev/null || break
    sleep 0.05
done
if pgrep -f -- "--data $data" >/dev/null; then
    echo "FAIL: the ERROR box outlived tarvel"; pkill -9 -f -- "--data $data"; exit 1
fi

# 2. Playing in a window.
cp "$data/master.fx.good" "$data/shaders/master.fx"
"$tarvel" --data "$data" --windowed 2>"$data/stderr" &
pid=$!
window=$(timeout 30 xdotool search --sync --name '^Tarvel$' | head -n 1)
if [ -z "$window" ]; then
    echo "FAIL: no window titled Tarvel appeared"; cat "$data/stderr"; kill -9 "$pid" 2>/dev/null; exit 1
fi
sleep 0.5
kill -TERM "$pid"
ends_within_5s "$pid" "SIGTERM while playing"
expect_exit_1 $? "SIGTERM while playing"
echo "PASS"

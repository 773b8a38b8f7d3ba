#!/usr/bin/env bash
# Runs inside the virtual display of smoke_test.sh: starts hdtree with arguments that must have
# no effect (a Qt platform option among them), finds its window, checks its place and size,
# presses Esc and waits for the program's exit code.
set -euo pipefail
program=$1

"$program" -platform offscreen -geometry 10x10+300+300 --no-such-option report.txt &
pid=$!
stop() { kill "$pid" 2>/dev/null || true; }
trap stop EXIT

# The window shows on this display: the command line did not send it elsewhere.
window=$(timeout 30 xdotool search --sync --onlyvisible --name '^HD' | head -n 1)
[ -n "$window" ] || { echo "no window"; exit 1; }
title=$(xdotool getwindowname "$window")
[ "$title" = "HDﾌｧｲﾙ／ﾂﾘｰ表示／ﾃｷｽﾄ保存" ] || { echo "title: $title"; exit 1; }

geometry=$(xdotool getwindowgeometry "$window")
echo "$geometry"
grep -q 'Position: 27,39 ' <<<"$geometry" || { echo "not at 27,39"; exit 1; }
grep -q 'Geometry: 667x470' <<<"$geometry" || { echo "not 667x470"; exit 1; }

xdotool windowfocus --sync "$window"
sleep 0.5
xdotool key Escape

for _ in $(seq 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
  echo "Esc did not close the window"
  exit 1
fi
trap - EXIT
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || { echo "exit code $status"; exit 1; }
echo "closed with Esc, exit code 0"

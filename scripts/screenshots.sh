#!/usr/bin/env bash
# Makes the README's pictures from a real window under Xvfb: the panel at start, and the panel
# on its simulated controller after an operator's first minute (Connect, rotary pump on, valves
# open, both TMPs on), clicked the way a person would, through the menu bar.
# Needs a build in build/ and: apt-get install -y xvfb xauth xdotool
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-docs}")
mkdir -p "$out"
panel=$PWD/build/bin/vacuum-panel

xvfb-run -a -s "-screen 0 1024x768x24" "$panel" --screenshot "$out/panel-start.png" --quit-after 2

xvfb-run -a -s "-screen 0 1024x768x24" bash -s "$panel" "$out" <<'DRIVE'
set -eu
panel=$1 out=$2
"$panel" --simulate --screenshot "$out/panel-live.png" --quit-after 30 &
pid=$!
for _ in $(seq 50); do
    win=$(xdotool search --name "Merivax vacuum panel" 2>/dev/null | head -n1) && [ -n "$win" ] && break
    sleep 0.2
done
eval "$(xdotool getwindowgeometry --shell "$win")"
menu=$((HEIGHT - 678))  # the client area is 678 pixels high; the rest is the menu bar
click() { xdotool mousemove --window "$win" "$1" "$2" click 1; sleep 0.6; }
click 468 $((500 + menu))   # Connect, in the Status frame
sleep 1
click 106 8; click 125 32   # Rotary > Switch on
click 145 8; click 160 32   # 1V1 > Open
click 24 8;  click 40 32    # TMP1 > Switch on
click 177 8; click 195 32   # 2V1 > Open
click 64 8;  click 80 32    # TMP2 > Switch on
wait "$pid"
DRIVE
echo "written: $out/panel-start.png $out/panel-live.png"

# A view beside the panel that publishes to it, on a broker of the script's own.
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
mosquitto -p "$port" > /dev/null 2>&1 &
broker=$!
trap 'kill $broker 2>/dev/null || true' EXIT
xvfb-run -a -s "-screen 0 1024x768x24" bash -s "$panel" "$out" "$port" <<'DRIVE'
set -eu
panel=$1 out=$2 port=$3
"$panel" --simulate --publish "mqtt://127.0.0.1:$port/demo" --screenshot "$out/.panel.png" \
    --quit-after 12 &
pid=$!
for _ in $(seq 50); do
    win=$(xdotool search --name "Merivax vacuum panel" 2>/dev/null | head -n1) && [ -n "$win" ] && break
    sleep 0.2
done
eval "$(xdotool getwindowgeometry --shell "$win")"
xdotool mousemove --window "$win" 468 $((500 + HEIGHT - 678)) click 1   # Connect
sleep 1
"$panel" --view "mqtt://127.0.0.1:$port/demo" --screenshot "$out/.view.png" --quit-after 10
wait "$pid"
DRIVE
convert "$out/.panel.png" "$out/.view.png" -background white -splice 16x0 +append \
    -resize 50% "$out/view-beside-panel.png"
rm -f "$out/.panel.png" "$out/.view.png"
echo "written: $out/view-beside-panel.png"

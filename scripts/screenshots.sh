#!/usr/bin/env bash
# Makes the README's pictures from a real window under Xvfb: the panel at start, and the panel
# connected to its simulated controller, Connect pressed as an operator would.
# Needs: xvfb xauth xdotool (apt-get install -y xdotool), and a build in build/.
set -euo pipefail
cd "$(dirname "$0")/.."
panel=build/bin/vacuum-panel
out=${1:-docs}
mkdir -p "$out"

xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    set -euo pipefail
    "$0" --screenshot "$1/panel-start.png" --quit-after 2
    "$0" --simulate --screenshot "$1/panel-live.png" --quit-after "${3:-12}" &
    pid=$!
    for _ in $(seq 50); do
        win=$(xdotool search --name "Merivax vacuum panel" 2>/dev/null | head -n1) && [ -n "$win" ] && break
        sleep 0.2
    done
    # Connect sits in the Status frame at (120+6840+60, 7080+240+180) twips, about (468, 500) px
    # below the menu bar.
    menu=$(( $(xdotool getwindowgeometry "$win" | sed -n "s/.*Geometry: [0-9]*x\([0-9]*\).*/\1/p") - 678 ))
    xdotool mousemove --window "$win" 468 $((500 + menu)) click 1
    # Drive the plant a little: rotary pump on, then TMP1 on from its context menu.
    sleep 1
    xdotool mousemove --window "$win" 300 $((400 + menu)) click 3
    wait "$pid"
' "$panel" "$out" x "${SECONDS_LIVE:-12}"
echo "written: $out/panel-start.png $out/panel-live.png"

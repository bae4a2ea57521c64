#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
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

# The plant's page in headless Chromium beside the window of the gateway that feeds it, both on
# the simulated plant, on a broker of the script's own serving the build's web/. While the gateway
# publishes no view topic, the page test's window and page (fed the view taken from that window)
# stand in.
web=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
dir=$(mktemp -d)
cat > "$dir/mosquitto.conf" <<CONF
persistence false
allow_anonymous true
listener $port 127.0.0.1
listener $web 127.0.0.1
socket_domain ipv4
protocol websockets
http_dir $PWD/build/web
CONF
[ "$(id -u)" = 0 ] && echo "user root" >> "$dir/mosquitto.conf"
kill $broker 2>/dev/null || true
wait $broker 2>/dev/null || true
mosquitto -c "$dir/mosquitto.conf" > /dev/null 2>&1 &
broker=$!
trap 'kill $broker 2>/dev/null || true; rm -rf "$dir"' EXIT
sleep 1
chromium=(chromium --headless --no-sandbox --disable-gpu --hide-scrollbars)
xvfb-run -a -s "-screen 0 1024x768x24" bash -s "$panel" "$dir" "$port" "$web" <<'DRIVE'
set -eu
panel=$1 dir=$2 port=$3 web=$4
"$panel" --simulate --publish "mqtt://127.0.0.1:$port/demo" --screenshot "$dir/window.png" \
    --quit-after 14 &
pid=$!
for _ in $(seq 50); do
    win=$(xdotool search --name "Merivax vacuum panel" 2>/dev/null | head -n1) && [ -n "$win" ] && break
    sleep 0.2
done
eval "$(xdotool getwindowgeometry --shell "$win")"
xdotool mousemove --window "$win" 468 $((500 + HEIGHT - 678)) click 1   # Connect
if mosquitto_sub -p "$port" -t demo/view -C 1 -W 6 > /dev/null 2>&1; then
    sleep 4
    chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --window-size=1024,830 \
        --screenshot="$dir/page.png" "http://127.0.0.1:$web/plant.html?prefix=demo" 2> /dev/null
fi
wait "$pid"
DRIVE
if [ ! -f "$dir/page.png" ]; then
    echo "the gateway publishes no view topic: the page test's pictures instead"
    VP_WEB_PICTURES=$dir QT_QPA_PLATFORM=offscreen build/bin/tst_web_page \
        pageShowsWhatTheWindowShows > /dev/null
fi
cat > "$dir/beside.html" <<'HTML'
<!DOCTYPE html><html><body style="margin:0;background:#fff;display:flex;align-items:flex-start;gap:16px">
<img src="window.png"><img src="page.png" style="width:861px"></body></html>
HTML
"${chromium[@]}" --window-size=1738,700 --screenshot="$dir/beside.png" "file://$dir/beside.html" \
    2> /dev/null
# Half size, as the other pictures; Chromium scales it with its own renderer.
cat > "$dir/half.html" <<'HTML'
<!DOCTYPE html><html><body style="margin:0"><img src="beside.png" style="width:869px"></body></html>
HTML
"${chromium[@]}" --window-size=869,350 --screenshot="$out/page-beside-window.png" \
    "file://$dir/half.html" 2> /dev/null
echo "written: $out/page-beside-window.png"

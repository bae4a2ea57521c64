#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks the installed vacuum-panel-gateway as its service runs: its user and folders with their
# modes, the unit verified and its exposure measured, and the unit's ExecStart run by hand as the
# service's user (with the unit's groups, no capabilities, no new privileges, in its folder)
# against the simulated controller on a pseudo-terminal, publishing to a broker of its own on the
# loopback; then a bad configuration and a device the user may not open. Where systemd is PID 1,
# also the unit itself: started, killed and restarted. Needs root and the package installed.
# Usage: test-gateway-service.sh SIMULATOR
set -euo pipefail
sim=$(realpath "$1")
plant=test-gateway-service
unit=/usr/lib/systemd/system/vacuum-panel-gateway@.service
conf=/etc/vacuum-panel/$plant.conf
state=/var/lib/vacuum-panel/$plant
prefix=test/$plant
work=$(mktemp -d)
pids=()

fail() {
    echo "test-gateway-service: $*" >&2
    [ ! -s "$work/gateway.err" ] || sed 's/^/  gateway: /' "$work/gateway.err" >&2
    exit 1
}
cleanup() {
    if [ -d /run/systemd/system ]; then systemctl stop "vacuum-panel-gateway@$plant" 2> /dev/null || true; fi
    for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null || true; done
    rm -rf "$conf" "$state" "$work"
}
trap cleanup EXIT
mode_of() { stat -c '%a %U %G' "$1"; }
# Waits up to $1 seconds for the command after it to succeed.
within() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.2
    done
}
retained() { mosquitto_sub -h 127.0.0.1 -p "$port" -t "$prefix/$1" -C 1 -W 2 2> /dev/null; }
published_live() { retained state | grep -q '"connected":true'; }
said_online() { [ "$(retained online)" = "$1" ]; }

# The service's user and folders, as the package's scripts made them.
IFS=: read -r _ _ uid _ _ home shell <<< "$(getent passwd vacuum-panel)" || fail "no user vacuum-panel"
[ "$uid" -lt 1000 ] || fail "vacuum-panel is no system user (uid $uid)"
[ "$shell" = /usr/sbin/nologin ] && [ "$home" = /var/lib/vacuum-panel ] ||
    fail "vacuum-panel has the shell $shell and the home $home"
[ "$(mode_of /etc/vacuum-panel)" = "750 root vacuum-panel" ] ||
    fail "/etc/vacuum-panel is $(mode_of /etc/vacuum-panel)"
[ "$(mode_of /var/lib/vacuum-panel)" = "755 root root" ] ||
    fail "/var/lib/vacuum-panel is $(mode_of /var/lib/vacuum-panel)"

# The unit as systemd reads it, and how much of the system it leaves open.
systemd-analyze verify "$unit" || fail "systemd-analyze verify"
exposure=$(systemd-analyze security --offline=true "$unit" 2>&1 |
    sed -n 's/.*Overall exposure level for [^:]*: \([0-9.]* [A-Z]*\).*/\1/p')
echo "test-gateway-service: systemd-analyze security: $exposure"
[[ $exposure == *" OK" || $exposure == *" SAFE" ]] || fail "exposure $exposure"

# A broker of its own, on the loopback only.
port=$((20000 + RANDOM % 20000))
printf 'listener %s 127.0.0.1\nallow_anonymous true\n' "$port" > "$work/mosquitto.conf"
mosquitto -c "$work/mosquitto.conf" 2> "$work/broker.log" &
pids+=($!)
within 10 bash -c "exec 3<> /dev/tcp/127.0.0.1/$port" 2> /dev/null || fail "no broker on $port"
# The simulated controller on a pseudo-terminal that the service's user may open, as dialout's
# serial ports are.
"$sim" --link "$work/controller" > /dev/null 2>&1 &
pids+=($!)
within 10 test -L "$work/controller" || fail "the simulator made no pseudo-terminal"
device=$(readlink -f "$work/controller")
chown vacuum-panel "$device"
# A lock file of a root process now gone, left for the same pseudo-terminal number, is one the
# service's user may not remove (the lock folder is sticky): it would read as the port in use.
lock=/run/lock/LCK..$(tr / _ <<< "${device#/dev/}")
if [ -e "$lock" ] && ! kill -0 "$(head -n 1 "$lock")" 2> /dev/null; then rm -f "$lock"; fi

# The unit's folders as StateDirectory= makes them, its configuration, and its ExecStart.
install -d -o vacuum-panel -g vacuum-panel -m 0750 "$state" "$state/log"
write_conf() {
    printf '%s\n' "$@" > "$conf"
    chgrp vacuum-panel "$conf"
    chmod 0640 "$conf"
}
write_conf "device = $device" "publish = mqtt://127.0.0.1:$port/$prefix" \
    "record = $state/traffic.rec"
exec_start=$(sed -n 's/^ExecStart=//p' "$unit" | sed "s/%i/$plant/g")
working=$(sed -n 's/^WorkingDirectory=//p' "$unit" | sed "s|%S|/var/lib|; s/%i/$plant/g")
[ "$working" = "$state" ] || fail "the unit works in $working"
# Run in a subshell of its own, which becomes the program (so $! is the gateway's process id).
as_service() {
    cd "$working" && exec env -i PATH=/usr/bin:/bin setpriv --reuid=vacuum-panel \
        --regid=vacuum-panel --groups=dialout --inh-caps=-all --bounding-set=-all \
        --no-new-privs "$@"
}
# shellcheck disable=SC2086 # the unit's command line, split as systemd splits it
(as_service $exec_start) 2> "$work/gateway.err" &
gateway=$!
pids+=($gateway)
within 30 published_live || fail "the gateway run as its service published no live plant"
said_online true || fail "online is not true"
kill -TERM "$gateway"
wait "$gateway" || fail "the gateway ended with $? on SIGTERM"
said_online false || fail "online is not false after SIGTERM"
grep -q '^vacuum-panel: link connected: ' "$work/gateway.err" || fail "no line for the link"
[ "$(stat -c %U "$state/traffic.rec")" = vacuum-panel ] && [ -s "$state/traffic.rec" ] ||
    fail "no traffic record in $state"

# What a retry cannot mend ends it with 2 and one line naming the file, the line and the key.
write_conf "device = $device" "speed = 9600"
code=0
# shellcheck disable=SC2086
(as_service $exec_start) 2> "$work/gateway.err" || code=$?
[ $code -eq 2 ] && [ "$(cat "$work/gateway.err")" = "vacuum-panel: $conf:2: speed: unknown key" ] ||
    fail "a bad configuration ended with $code"
# A device it may not open is retried, and said once.
chown root "$device"
chmod 0600 "$device"
write_conf "device = $device"
code=0
# shellcheck disable=SC2086
(as_service timeout 7 $exec_start) 2> "$work/gateway.err" || code=$?
[ $code -eq 124 ] || fail "the gateway gave up on a device it may not open ($code)"
[ "$(grep -c '^vacuum-panel: Port 3 ' "$work/gateway.err")" -eq 1 ] &&
    [ "$(grep -c "^vacuum-panel: no permission to open $device" "$work/gateway.err")" -eq 1 ] ||
    fail "a device it may not open is not said once"

if [ "$(ps -p 1 -o comm=)" != systemd ] || [ ! -d /run/systemd/system ]; then
    echo "test-gateway-service: PID 1 is $(ps -p 1 -o comm=), not systemd: the unit itself not started"
    exit 0
fi
# systemd runs the unit: published, killed, restarted by systemd, the log folder its own.
chown vacuum-panel "$device"
write_conf "device = $device" "publish = mqtt://127.0.0.1:$port/$prefix"
rm -rf "$state"
systemctl daemon-reload
systemctl start "vacuum-panel-gateway@$plant"
within 30 published_live || fail "the service published no live plant"
[ "$(mode_of "$state/log")" = "750 vacuum-panel vacuum-panel" ] || fail "$state/log is $(mode_of "$state/log")"
main=$(systemctl show -p MainPID --value "vacuum-panel-gateway@$plant")
kill -KILL "$main"
restarted() {
    local now
    now=$(systemctl show -p MainPID --value "vacuum-panel-gateway@$plant")
    [ "$now" != 0 ] && [ "$now" != "$main" ] && said_online true
}
within 30 restarted || fail "systemd did not restart the killed gateway"
systemctl stop "vacuum-panel-gateway@$plant"
echo "test-gateway-service: the unit started, published, was killed and restarted by systemd"

#!/usr/bin/env bash
# Real LAN broadcast, end to end: an operator's host and a host of simulated
# devices, each in its own network namespace, joined by a bridge. The tool runs
# with its defaults (255.255.255.255, port 65535), exactly as on a real LAN.
#
# usage: broadcast.sh CLI DEVSIM
# Exits 77 (skipped) where namespaces cannot be made (not root, no iproute2).
set -uo pipefail

cli=$1
devsim=$2
tag=lv$$
op=$tag-op; dev=$tag-dev; br=$tag-br

if [ "$(id -u)" -ne 0 ] || ! command -v ip >/dev/null; then
    echo "skipped: needs root and iproute2"
    exit 77
fi
if ! ip netns add "$br" 2>/dev/null; then
    echo "skipped: network namespaces are not available here"
    exit 77
fi

cleanup() {
    [ -n "${sim:-}" ] && kill "$sim" 2>/dev/null
    wait 2>/dev/null
    for ns in "$op" "$dev" "$br"; do ip netns del "$ns" 2>/dev/null; done
}
trap cleanup EXIT

set -e
ip netns add "$op"
ip netns add "$dev"
ip -n "$br" link add br0 type bridge
ip -n "$br" link set br0 up
n=1
for ns in "$op" "$dev"; do
    ip link add "v$tag$n" type veth peer name eth0 netns "$ns"
    ip link set "v$tag$n" netns "$br"
    ip -n "$br" link set "v$tag$n" master br0 up
    ip -n "$ns" addr add "10.203.0.$n/24" dev eth0
    ip -n "$ns" link set eth0 up
    ip -n "$ns" link set lo up
    ip -n "$ns" route add default dev eth0
    n=$((n + 1))
done
set +e

fail=0
check() { # description, command...
    local what=$1; shift
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; fail=1; fi
}

ip netns exec "$dev" "$devsim" --bind 0.0.0.0 >"/tmp/$tag-devsim.log" 2>&1 &
sim=$!
sleep 0.5

out=$(ip netns exec "$op" "$cli" --json search --wait 1500)
count=$(grep -o '"mac"' <<<"$out" | wc -l)
check "a broadcast search from the operator's host lists the 21 simulated devices (got $count)" test "$count" -eq 21

target=00-50-C2-00-00-03
set_out=$(ip netns exec "$op" "$cli" --json set "$target" IPAddress=10.203.0.77 DeviceID=Pump-7)
check "set over broadcast is answered ($set_out)" grep -q '"answered": *true' <<<"$set_out"

out=$(ip netns exec "$op" "$cli" --json search --wait 1500)
check "the next search lists the device under its new address" \
    grep -q '"deviceId": *"Pump-7",\s*"ip": *"10.203.0.77"' <<<"$(tr -d '\n' <<<"$out")"

show=$(ip netns exec "$op" "$cli" show 10.203.0.77)
check "show finds the device at its new address" grep -q 'frmSetupKr770A' <<<"$show"

if [ $fail -ne 0 ]; then
    echo "--- simulator log"; cat "/tmp/$tag-devsim.log"
fi
rm -f "/tmp/$tag-devsim.log"
exit $fail

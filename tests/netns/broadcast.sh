#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Real LAN broadcast, end to end: an operator's host with two network cards on
# two bridges (10.203.0.0/24, where its default route goes, and 10.204.0.0/24),
# and a host of simulated devices on each. The tool runs with its defaults
# (255.255.255.255, port 65535), exactly as on a real LAN. The second host has
# three devices more than the first (MACs ...-16 to ...-18), which only a probe
# through the second card finds and only commands through it reach; their own
# IPs lie outside both subnets, as with a device fresh from the factory.
#
# usage: broadcast.sh CLI DEVSIM
# Exits 77 (skipped) where namespaces cannot be made (not root, no iproute2): twocards.sh.
set -uo pipefail

cli=$1
devsim=$2
tag=lv$$
NET0=10.203 NET1=10.204
source "$(dirname "$0")/twocards.sh"
make_two_card_lan

ip netns exec "$dev" "$devsim" --bind 0.0.0.0 >"$work/devsim.log" 2>&1 &
sim=$!
ip netns exec "$dev2" "$devsim" --bind 0.0.0.0 --devices 24 >"$work/devsim2.log" 2>&1 &
sim2=$!
await_listening "$work/devsim.log" "$sim"
await_listening "$work/devsim2.log" "$sim2"

macs() { grep -o '"mac": *"[0-9A-F-]*"' <<<"$1" | grep -o '[0-9A-F-]\{17\}' | sort -u; }
out=$(ip netns exec "$op" "$cli" --json search --wait 1500)
count=$(macs "$out" | wc -l)
check "a search with the defaults lists the devices behind both cards once each (got $count of 24)" \
    test "$count" -eq 24
out=$(ip netns exec "$op" "$cli" --json --interface eth0 search --wait 1500)
count=$(macs "$out" | wc -l)
check "--interface eth0 finds only the 21 devices of the first card (got $count)" \
    test "$count" -eq 21 -a -z "$(macs "$out" | grep -E '00-00-1[678]$')"
out=$(ip netns exec "$op" "$cli" --json --interface eth1 search --wait 1500)
count=$(macs "$out" | wc -l)
check "--interface eth1 finds the 24 devices of the second card (got $count)" test "$count" -eq 24

# The wire log shows the probe leaving by both cards and the answers of the second card's devices.
log=$(ip netns exec "$op" "$cli" --verbose search --wait 1500 2>&1 >/dev/null)
probes=$(grep -c ' TX port [0-9]* 14 bytes: X 99.130.83.99' <<<"$log")
check "--verbose logs the probe on each card's socket (got $probes)" test "$probes" -eq 2
check "--verbose logs an answer of a device only the second card sees" grep -q 'RX port .*AX 0\.80\.194\.0\.0\.23/' <<<"$log"

far=00-50-C2-00-00-17
show=$(ip netns exec "$op" "$cli" show "$far")
check "a request reaches a device that only the second card sees" grep -q 'frmSetup' <<<"$show"
exported=$(ip netns exec "$op" "$cli" export "$far")
check "export asks it through the card it answered on" grep -q '"device": *"'"$far"'"' <<<"$exported"
far_out=$(ip netns exec "$op" "$cli" --json set "$far" DeviceID=Far-23)
check "an Update reaches it as well ($far_out)" grep -q '"answered": *true' <<<"$far_out"
out=$(ip netns exec "$op" "$cli" --json --interface eth1 search --wait 1500)
check "the second card's device took the change" grep -q '"deviceId": *"Far-23"' <<<"$out"

target=00-50-C2-00-00-03
set_out=$(ip netns exec "$op" "$cli" --json --interface eth0 set "$target" IPAddress=10.203.0.77 DeviceID=Pump-7)
check "set over broadcast is answered ($set_out)" grep -q '"answered": *true' <<<"$set_out"

out=$(ip netns exec "$op" "$cli" --json search --wait 1500)
check "the next search lists the device under its new address" \
    grep -q '"deviceId": *"Pump-7",\s*"ip": *"10.203.0.77"' <<<"$(tr -d '\n' <<<"$out")"

show=$(ip netns exec "$op" "$cli" show 10.203.0.77)
check "show finds the device of the first card at its new address" grep -q 'frmSetupKr770A' <<<"$show"

if [ $fail -ne 0 ]; then
    echo "--- simulator logs"; cat "$work/devsim.log" "$work/devsim2.log"
fi
exit $fail

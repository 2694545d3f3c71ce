#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Which card each command leaves by, on an operator's host with two cards: eth0 (10.205.0.0/24,
# where its default route goes) and eth1 (10.206.0.0/24). Behind eth0 a host of simulated devices
# that answers every search twice at once (--repeat 2); behind eth1 a larger host whose answers
# trickle in over 800 ms, three of its devices (MACs ...-16 to ...-18) behind that card only. The
# repeated answers come first, so a device listed after them must still be reached through eth1:
# by show, by every job of apply, and by the MAC change. The devices both hosts simulate answer
# word for word alike from two senders: which one is the device cannot be told, and they are refused.
#
# usage: reach.sh CLI DEVSIM [SERVICE_PIN_TESTS]
# With the third argument, the main window's MAC change is run there as well.
# Exits 77 (skipped) where namespaces cannot be made (not root, no iproute2): twocards.sh.
set -uo pipefail

cli=$1
devsim=$2
gui_tests=${3:-}
tag=lr$$
NET0=10.205 NET1=10.206
source "$(dirname "$0")/twocards.sh"
make_two_card_lan
run() { ip netns exec "$op" "$cli" --timeout 1500 "$@"; }

ip netns exec "$dev" "$devsim" --bind 0.0.0.0 --repeat 2 >"$work/devsim.log" 2>&1 &
sim=$!
ip netns exec "$dev2" "$devsim" --bind 0.0.0.0 --devices 24 --jitter 800 >"$work/devsim2.log" 2>&1 &
sim2=$!
await_listening "$work/devsim.log" "$sim"
await_listening "$work/devsim2.log" "$sim2"

far=(00-50-C2-00-00-16 00-50-C2-00-00-17 00-50-C2-00-00-18)

# The search lists every device once, the far ones after the repeated answers of the first card.
out=$(run --json search --wait 1200)
count=$(grep -o '"mac": *"[0-9A-F-]*"' <<<"$out" | sort -u | wc -l)
listed=$(grep -c '"mac"' <<<"$out")
check "the search lists the 24 devices once each (got $listed lines, $count MACs)" test "$count" -eq 24 -a "$listed" -eq 24

for mac in "${far[@]}"; do
    shown=$(run show "$mac" 2>&1)
    check "show reaches $mac behind the second card" grep -q 'frmSetup' <<<"$shown"
done

# apply: every job leaves by the card its device answered on.
plan=$work/plan.json
{
    echo '{"devices": ['
    sep=""
    for mac in "${far[@]}"; do
        printf '%s{"device": "%s", "set": {"DeviceID": "Reach-%s"}}\n' "$sep" "$mac" "${mac: -2}"
        sep=","
    done
    echo ']}'
} >"$plan"
applied=$(run --json apply --parallel 4 "$plan")
code=$?
check "apply updates the three far devices (exit $code)" test "$code" -eq 0
check "apply reports three updated devices" test "$(grep -c '"result": *"updated"' <<<"$applied")" -eq 3
twice=$(run --json search --wait 1200 | tr -d '\n' | grep -o '{[^}]*"00-50-C2-00-00-03"[^}]*}')
check "the search marks a device whose answer two hosts send ($twice)" grep -q '"conflict": *true' <<<"$twice"
out=$(run --json --interface eth1 search --wait 1200)
for mac in "${far[@]}"; do
    check "the far device ${mac: -2} took its new ID" grep -q "\"deviceId\": *\"Reach-${mac: -2}\"" <<<"$out"
done

# The MAC change leaves by the card of the device it names.
changed=$(run set-mac --access-code QuartzmoonTEST 00-50-C2-00-00-17 00-50-C2-00-01-17 2>&1)
code=$?
check "set-mac reaches a far device (exit $code: $changed)" test "$code" -eq 0
out=$(run --json --interface eth1 search --wait 1200)
check "the far device answers under its new MAC" grep -q '"mac": *"00-50-C2-00-01-17"' <<<"$out"

if [ -n "$gui_tests" ]; then
    gui=$(ip netns exec "$op" env QT_QPA_PLATFORM=offscreen LINKVANE_REACH_MAC=00-50-C2-00-00-18 \
        LINKVANE_REACH_DEVICES=24 \
        "$gui_tests" --gtest_filter='*MacChangeReachesADeviceBehindTheSecondCard*' 2>&1)
    check "the main window's MAC change reaches a far device" grep -q '^\[  PASSED  \] 1 test' <<<"$gui"
    [ $fail -ne 0 ] && echo "$gui" | grep -E 'Failure|Expected|Which is|FAILED|SKIPPED' | head
fi

if [ $fail -ne 0 ]; then
    echo "--- simulator logs"; tail -n 20 "$work/devsim.log" "$work/devsim2.log"
fi
exit $fail

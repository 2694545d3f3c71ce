#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# linkvane-cli diagnose on an operator's host with three cards: eth0 (10.207.0.0/24) with a host of
# simulated devices behind it, eth1 (10.208.0.0/24) with nothing that answers, and café2, which is
# down. The probe leaves by the two cards that are up, the answers are counted on the card they came
# back through, and the causes follow what happened: none while devices answer, "no answer" once they
# are gone, "probe not sent" when the search is kept to the card that is down. A search kept to eth1
# while the devices sit behind eth0 names eth0 as where they answered; devices that answer from an
# address outside eth0's network are named even though they answered.
#
# usage: diagnose.sh CLI DEVSIM
# Exits 77 (skipped) where namespaces cannot be made (not root, no iproute2): twocards.sh.
set -uo pipefail

cli=$1
devsim=$2
tag=ld$$
NET0=10.207 NET1=10.208
source "$(dirname "$0")/twocards.sh"
make_two_card_lan
# The third card, on a bridge of its own, with an address but down.
ip -n "$br" link add br2 type bridge
ip -n "$br" link set br2 up
plug "$op" café2 br2 10.209.0.1
ip -n "$op" link set café2 down

run() { ip netns exec "$op" "$cli" --wait 800 "$@"; }
# The row of a card in the text table: its fields from the second on (state, IPv4, broadcast, probe, answers,
# search answers).
causes() { grep -o '"cause": *"[a-z-]*"' <<<"$1" | tr -d ' '; }
row() { awk -v card="$1" '$1 == card { $1 = ""; sub(/^ /, ""); print }' <<<"$2"; }

expected=12
ip netns exec "$dev" "$devsim" --bind 0.0.0.0 --devices "$expected" >"$work/devsim.log" 2>&1 &
sim=$!
await_listening "$work/devsim.log" "$sim"

out=$(run diagnose)
code=$?
echo "$out"
check "diagnose exits 0 while devices answer (exit $code)" test "$code" -eq 0
check "eth0: up, its address, broadcasts, probe sent, every device answered there" \
    test "$(row eth0 "$out")" = "up $NET0.0.1/24 yes sent $expected $expected"
check "eth1: up, probe sent, nothing came back" test "$(row eth1 "$out")" = "up $NET1.0.1/24 yes sent 0 0"
check "café2: down, not probed" test "$(row café2 "$out")" = "down 10.209.0.1/24 yes - - -"
check "no likely causes nor findings while devices answer" bash -c '! grep -qE "Likely causes|Findings" <<<"$1"' _ "$out"

json=$(run --json --interface eth1 diagnose)
code=$?
check "a search kept to eth1 exits 3 (exit $code)" test "$code" -eq 3
check "the one cause is the card that kept them out" test "$(causes "$json")" = '"cause":"interface-kept-out"'
check "it says how many answered through eth0 and how to pick it" \
    grep -q "but $expected device(s) answered through eth0 when.*--interface eth0" <<<"$json"

# The devices' host moves to an address outside eth0's network; the answers still come back through it.
ip -n "$dev" addr flush dev eth0
ip -n "$dev" addr add "$NET0.1.2/24" dev eth0
ip -n "$dev" route add default dev eth0
json=$(run --json diagnose)
code=$?
check "devices answering from outside the card's network still exit 0 (exit $code)" test "$code" -eq 0
check "the one finding is the devices outside the subnet" test "$(causes "$json")" = '"cause":"outside-subnet"'
check "it names the card, the count, the card's network and an address" \
    grep -q "$expected device(s) answered through eth0 from addresses outside its network(s) $NET0.0.0/24, such as $NET0.1.2" <<<"$json"

kill "$sim"
wait "$sim" 2>/dev/null
sim=
json=$(run --json diagnose)
code=$?
check "diagnose exits 3 once no device answers (exit $code)" test "$code" -eq 3
check "the one cause is no answer" test "$(grep -o '"cause": *"[a-z-]*"' <<<"$json" | tr -d ' ')" = '"cause":"no-answer"'

json=$(run --json --interface café2 diagnose)
code=$?
check "a search kept to the card that is down exits 3 (exit $code)" test "$code" -eq 3
check "the one cause is the probe not sent" \
    test "$(grep -o '"cause": *"[a-z-]*"' <<<"$json" | tr -d ' ')" = '"cause":"probe-not-sent"'
check "the card says why it sent nothing" grep -q '"sendError"' <<<"$json"
check "a card that is not there is refused, naming café2 as UTF-8" grep -q café2 <<<"$(run --interface no0 diagnose 2>&1)"

exit "$fail"

# SPDX-License-Identifier: Apache-2.0
# Sourced by the namespace tests: an operator's host ($op) with two cards,
# eth0 on bridge br0 (NET0.0/24, where its default route goes) and eth1 on br1
# (NET1.0/24), a host of devices behind each ($dev on br0, $dev2 on br1), and
# check() that counts failures in $fail. The caller sets tag (unique per run),
# NET0 and NET1 (such as 10.203 and 10.204) and calls make_two_card_lan; the
# namespaces go again on exit, with the simulators in $sim and $sim2 and the
# folder in $work. await_listening waits until a simulator has said it listens.
#
# Exits 77 (skipped) where namespaces cannot be made (not root, no iproute2).

op=$tag-op; dev=$tag-dev; dev2=$tag-dv2; br=$tag-br

if [ "$(id -u)" -ne 0 ] || ! command -v ip >/dev/null; then
    echo "skipped: needs root and iproute2"
    exit 77
fi
if ! ip netns add "$br" 2>/dev/null; then
    echo "skipped: network namespaces are not available here"
    exit 77
fi

work=$(mktemp -d)
cleanup() {
    [ -n "${sim:-}" ] && kill "$sim" 2>/dev/null
    [ -n "${sim2:-}" ] && kill "$sim2" 2>/dev/null
    wait 2>/dev/null
    for ns in "$op" "$dev" "$dev2" "$br"; do ip netns del "$ns" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT

plugs=0
plug() { # namespace, its device name, bridge, address
    local peer=v$tag$((++plugs))
    ip link add "$peer" type veth peer name "$2" netns "$1"
    ip link set "$peer" netns "$br"
    ip -n "$br" link set "$peer" master "$3" up
    ip -n "$1" addr add "$4/24" dev "$2"
    ip -n "$1" link set "$2" up
    ip -n "$1" link set lo up
}

make_two_card_lan() {
    set -e
    ip netns add "$op"
    ip netns add "$dev"
    ip netns add "$dev2"
    ip -n "$br" link add br0 type bridge
    ip -n "$br" link set br0 up
    ip -n "$br" link add br1 type bridge
    ip -n "$br" link set br1 up
    plug "$op" eth0 br0 "$NET0.0.1"
    plug "$dev" eth0 br0 "$NET0.0.2"
    plug "$op" eth1 br1 "$NET1.0.1"
    plug "$dev2" eth0 br1 "$NET1.0.2"
    for ns in "$op" "$dev" "$dev2"; do ip -n "$ns" route add default dev eth0; done
    set +e
}

# await_listening LOG PID: waits up to 10 s for the simulator's "listening on" line in LOG; ends the
# test when the simulator PID ended first or never said it.
await_listening() {
    for _ in $(seq 200); do
        grep -q 'listening on' "$1" && return 0
        kill -0 "$2" 2>/dev/null || break
        sleep 0.05
    done
    echo "FAILED: the simulator did not start listening: $(cat "$1")"
    exit 1
}

fail=0
check() { # description, command...
    local what=$1; shift
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; fail=1; fi
}

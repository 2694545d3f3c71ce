#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Installs what is missing, builds Linkvane, starts a simulated LAN of devices on
# loopback and opens Linkvane on it. Without a display it says so, shows what the
# command-line tool finds on the simulated LAN instead and keeps the simulated LAN
# running for the README's next commands until Ctrl-C.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --build
cmake -S . -B build/demo -G Ninja -DCMAKE_BUILD_TYPE=Release -DLINKVANE_TESTS=OFF -DLINKVANE_BENCH=OFF
# Everything `cmake --install build/demo` installs: the programs, the manual pages and the completion.
cmake --build build/demo -j "$(nproc)"

port=${LINKVANE_DEMO_PORT:-47011}
# The simulator's output is shown and kept, so that the demo goes on once it says it listens.
sim_log=$(mktemp)
build/demo/src/devsim/linkvane-devsim --port "$port" > >(tee "$sim_log") 2>&1 &
sim=$!
trap 'kill $sim 2>/dev/null || true; rm -f "$sim_log"' EXIT
for _ in $(seq 200); do # at most 10 s
    grep -q 'listening on' "$sim_log" && break
    kill -0 "$sim" 2>/dev/null || break
    sleep 0.05
done
grep -q 'listening on' "$sim_log" || { echo "The simulated devices did not start on port $port." >&2; exit 1; }

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    echo "Linkvane is talking to the simulated devices on 127.255.255.255 port $port."
    echo "Press \"Search Device\", then double-click a device."
    build/demo/src/app/linkvane --broadcast 127.255.255.255 --port "$port"
else
    echo "No display here, so the Linkvane window cannot open."
    echo "Run this command in a desktop session (or under xvfb-run) to see it."
    echo "Meanwhile, this is what Linkvane finds on the simulated LAN:"
    echo
    build/demo/src/cli/linkvane-cli --broadcast 127.255.255.255 --port "$port" search
    echo
    echo "The simulated devices keep answering on 127.255.255.255 port $port: try the README's"
    echo "commands in another terminal. Press Ctrl-C here to stop them."
    wait "$sim"
fi

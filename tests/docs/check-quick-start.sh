#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# check-quick-start.sh SOURCE_DIR CMAKE
# The README's quick start as a newcomer meets it: in a fresh copy of the tracked files, without a
# display, scripts/demo.sh runs; then the commands of the quick start's second block, read from the
# README as printed, run in a second shell while the demo keeps the simulated devices up; then
# `cmake --install build/demo` into a temporary prefix, and completion in bash and zsh there.
# The only change to the printed commands is the port: the demo and the commands use a free one
# (LINKVANE_DEMO_PORT) so that a demo someone runs on 47011 does not answer instead.
# Exits 77 (skipped) outside a git checkout. Set CMAKE_CXX_COMPILER_LAUNCHER=ccache to reuse a cache.
set -uo pipefail
source_dir=$1 cmake_program=$2
here=$(cd "$(dirname "$0")" && pwd)

files=$(git -C "$source_dir" ls-files 2>/dev/null) || { echo "SKIP: not a git checkout"; exit 77; }
work=$(mktemp -d)
demo_pid=
cleanup() {
    [ -n "$demo_pid" ] && kill -- -"$demo_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
clone=$work/linkvane
mkdir "$clone"
(cd "$source_dir" && tar -cf - -T - <<<"$files") | tar -xf - -C "$clone" || { echo "FAIL: copying the sources"; exit 1; }
git -C "$clone" init -q

# With ccache, the copy's own folder is taken for a relative one, so that a second run finds the
# objects of the first although each copy lies in a new folder.
export CCACHE_BASEDIR=$clone

# A free UDP port on loopback for the simulated devices.
port=$(python3 -c 'import socket; s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

# The demo in its own process group, so that stopping it stops the simulator too.
(cd "$clone" && exec setsid env -u DISPLAY -u WAYLAND_DISPLAY LINKVANE_DEMO_PORT="$port" scripts/demo.sh) \
    >"$work/demo.log" 2>&1 </dev/null &
demo_pid=$!
ready="keep answering on 127.255.255.255 port $port"
until grep -q "$ready" "$work/demo.log"; do
    kill -0 "$demo_pid" 2>/dev/null || { cat "$work/demo.log"; echo "FAIL: scripts/demo.sh ended before saying '$ready'"; exit 1; }
    sleep 1
done
echo "demo up after $SECONDS s"

# The quick start's code blocks after the first (scripts/demo.sh itself).
commands=$(awk '/^## / { inside = ($0 == "## Quick start") } inside' "$clone/README.md" |
    awk '/^```/ { if (fence) { fence = 0; block++ } else fence = 1; next } fence && block >= 1')
[ -n "$commands" ] || { echo "FAIL: no commands after scripts/demo.sh in the README's quick start"; exit 1; }
grep -q -- '--port 47011' <<<"$commands" || { echo "FAIL: the quick start's commands name no --port 47011"; exit 1; }
commands=${commands//--port 47011/--port $port}
echo "$commands"
out=$(cd "$clone" && bash -euo pipefail -c "$commands" 2>&1)
rc=$?
echo "$out"
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
[ "$rc" -eq 0 ] || fail "the quick start's commands exited $rc"
grep -q "No device answered" <<<"$out" && fail "the quick start's search found no device"
# Every device the commands name was listed by their search.
for mac in $(grep -oE '00-50-C2-[0-9A-F-]{8}' <<<"$commands" | sort -u); do
    [ "$(grep -c -- "$mac" <<<"$out")" -ge 2 ] || fail "$mac is not listed and shown"
done

kill -- -"$demo_pid" 2>/dev/null
wait "$demo_pid" 2>/dev/null
demo_pid=

# What the install section says works after the demo: its install, and completion from there.
bash "$here/../completion/check-shells.sh" "$cmake_program" "$clone/build/demo" || fail "install or completion of build/demo"
echo "quick start, install and completion checked in $SECONDS s"
[ "$failures" -eq 0 ]

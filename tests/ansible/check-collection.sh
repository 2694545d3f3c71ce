#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# check-collection.sh COLLECTION_DIR LINKVANE_CLI LINKVANE_DEVSIM
# Builds the collection linkvane.fleet with ansible-galaxy and installs the tarball into a temporary
# path as a user would, runs fleet.yml (connection local) against the simulator on a loopback port,
# checks the console output for the diff and for secrets, and runs the sanity tests of ansible-test
# that need no network (those that install their requirements into a virtual environment cannot).
set -uo pipefail
collection=$1 cli=$2 devsim=$3
here=$(cd "$(dirname "$0")" && pwd)
for tool in ansible-galaxy ansible-playbook ansible-test; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
sim_pid=""
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

echo "=== ansible-galaxy collection build and install"
ansible-galaxy collection build --output-path "$work" "$collection" || exit 1
ansible-galaxy collection install -p "$work/collections" "$work"/linkvane-fleet-*.tar.gz || exit 1
export ANSIBLE_COLLECTIONS_PATH="$work/collections" ANSIBLE_LOCALHOST_WARNING=false \
       ANSIBLE_INVENTORY_UNPARSED_WARNING=false ANSIBLE_NOCOLOR=1 ANSIBLE_HOME="$work/home"

for module in info apply; do
    ansible-doc "linkvane.fleet.$module" >"$work/doc.txt" 2>&1 || fail "ansible-doc linkvane.fleet.$module: $(cat "$work/doc.txt")"
done

echo "=== linkvane-devsim"
sim_password='Pw-4711-sim'
new_access='Acc-0815-new'
entry_password='Pw-entry-9911'
"$devsim" --port 0 --devices 4 --password "$sim_password" --silent 0.80.194.0.0.3 \
    --fault ignore-field:HostPort@00-50-C2-00-00-02 --fault restart:6000@00-50-C2-00-00-02#1 >"$work/devsim.out" 2>&1 &
sim_pid=$!
port=""
for _ in $(seq 100); do   # at most 10 s for the simulator to say its port
    port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/devsim.out")
    [ -n "$port" ] && break
    kill -0 "$sim_pid" 2>/dev/null || break
    sleep 0.1
done
[ -n "$port" ] || { echo "FAIL: the simulator did not start: $(cat "$work/devsim.out")"; exit 1; }

# The modules run the CLI through this, which keeps every command line they gave it.
cat >"$work/linkvane-cli" <<WRAPPER
#!/bin/sh
echo "\$*" >>"$work/argv.log"
exec "$cli" "\$@"
WRAPPER
chmod +x "$work/linkvane-cli"

# A linkvane-cli whose JSON has other shapes than the modules read.
cat >"$work/other-shape-cli" <<'OTHER'
#!/bin/sh
cat >/dev/null   # the password and the plan, as the modules hand them over
case "$*" in
*apply*) echo '[{"device": "00-50-C2-00-00-01", "result": "updated", "verify": "verified"}]' ;;
*) echo '{"devices": []}' ;;
esac
OTHER
chmod +x "$work/other-shape-cli"

echo "=== fleet.yml against the simulator on port $port"
ansible-playbook -i localhost, -vvv "$here/fleet.yml" \
    -e "cli=$work/linkvane-cli port=$port sim_password=$sim_password new_access=$new_access entry_password=$entry_password plan_file=$work/plan.json backup_file=$work/backup.json other_cli=$work/other-shape-cli" \
    >"$work/playbook.log" 2>&1
status=$?
cat "$work/playbook.log"
[ "$status" -eq 0 ] || fail "fleet.yml ended with exit status $status"
# The diff of the check-mode row, as the console shows it.
for line in '-DeviceID: DEV0001' '+DeviceID: Pump-7' '+SIOBaud: 115200'; do
    grep -qxF -- "$line" "$work/playbook.log" || fail "no diff line '$line' in the output"
done
[ -f "$work/backup.json" ] || fail "apply --backup wrote no $work/backup.json"
grep -q apply "$work/argv.log" || fail "the modules did not run the CLI through $work/linkvane-cli"
for secret in "$sim_password" "$new_access" "$entry_password"; do
    ! grep -qF -- "$secret" "$work/playbook.log" || fail "the secret $secret is in the output"
    ! grep -qF -- "$secret" "$work/argv.log" || fail "the secret $secret is on the CLI's command line"
done

echo "=== ansible-test sanity, offline"
tree="$work/tree/ansible_collections/linkvane/fleet"
mkdir -p "$(dirname "$tree")" && cp -r "$collection" "$tree"
# These install their requirements from the network into a virtual environment.
needs_network=(ansible-doc import pep8 pylint runtime-metadata validate-modules yamllint)
skips=()
for t in "${needs_network[@]}"; do skips+=(--skip-test "$t"); done
(cd "$tree" && ansible-test sanity --local --python 3.11 "${skips[@]}") || fail "ansible-test sanity"

[ "$failures" -eq 0 ] && echo "all passed" || echo "$failures failure(s)"
[ "$failures" -eq 0 ]

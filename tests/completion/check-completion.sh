#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# check-completion.sh LINKVANE_CLI
# The completion scripts linkvane-cli writes: bash's registers itself and offers, word by word, the
# commands, each command's options as its --help lists them, and the setting names after set's
# DEVICE; zsh's is valid zsh (checked when zsh is installed).
set -uo pipefail
cli=$1

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

script=$(mktemp)
trap 'rm -f "$script"' EXIT
"$cli" --completion bash >"$script" || fail "linkvane-cli --completion bash failed"

registered=$(bash -c 'source "$1" && complete -p linkvane-cli' _ "$script" 2>&1)
[ "$registered" = "complete -F _linkvane_cli linkvane-cli" ] || fail "complete -p linkvane-cli: '$registered'"

# The candidates for a command line whose last word is being completed, sorted, on one line.
candidates() {
    bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1));
             _linkvane_cli; printf "%s\n" "${COMPREPLY[@]}" | sort | tr "\n" " " | sed "s/ \$//"' \
        _ "$script" "$@"
}

expect() {
    local want=$1
    shift
    local got
    got=$(candidates "$@")
    [ "$got" = "$want" ] || fail "'$*<TAB>' offers '$got', not '$want'"
}

# Commands, at the start or after global options (and their values).
expect "search set set-mac" linkvane-cli se
expect "search set set-mac" linkvane-cli --json --port 5 se
expect "search set set-mac" linkvane-cli --port=5 se
expect "show" linkvane-cli --interface all sh
expect "" linkvane-cli --port se
expect "search set set-mac" linkvane-cli help se
expect "" linkvane-cli help set se
# Options: a command's own and the global ones, nothing of another command's.
expect "--expect" linkvane-cli search --ex
expect "--dry-run" linkvane-cli set --dr
expect "--dry-run" linkvane-cli apply plan.json --dr
expect "--access-code --access-code-file" linkvane-cli set-mac --access
expect "" linkvane-cli search --dr
expect "--version" linkvane-cli --vers
# Setting names after set's DEVICE, completed up to the "=".
expect "" linkvane-cli set IPAdd
expect "IPAddress=" linkvane-cli set 10.0.0.1 IPAdd
expect "IPAddress=" linkvane-cli set 10.0.0.1 SIOBaud = 115200 IPAdd
expect "" linkvane-cli set 10.0.0.1 IPAddress=1

# Every option each command's --help lists is offered after "COMMAND --", and no other.
options_of() {
    grep -E '^  +(-[A-Za-z?], )?--[A-Za-z0-9]' | sed -E 's/^ +(-[A-Za-z?], )?(--[A-Za-z0-9-]+).*/\2/' | sort -u |
        tr '\n' ' ' | sed 's/ $//'
}
commands=$("$cli" --help | sed -n '/^Commands:/,/^$/p' | sed -nE 's/^  ([a-z][a-z-]*) .*/\1/p')
[ -n "$commands" ] || fail "no command read from linkvane-cli --help"
for command in $commands; do
    got=$(candidates linkvane-cli "$command")
    [[ " $got " == *" $command "* ]] || fail "linkvane-cli ${command}<TAB> does not offer $command ('$got')"
    expect "$("$cli" "$command" --help | options_of)" linkvane-cli "$command" --
done

if command -v zsh >/dev/null; then
    zscript=$(mktemp)
    "$cli" --completion zsh >"$zscript"
    head -n 1 "$zscript" | grep -qx '#compdef linkvane-cli' || fail "the zsh script does not start with #compdef"
    zsh -n "$zscript" || fail "the zsh script is not valid zsh"
    rm -f "$zscript"
else
    echo "zsh is not installed: its script is not checked"
fi
"$cli" --completion fish >/dev/null 2>&1 && fail "--completion fish succeeded"

if [ "$failures" -gt 0 ]; then
    echo "$failures completion check(s) failed"
    exit 1
fi
echo "completion in order"

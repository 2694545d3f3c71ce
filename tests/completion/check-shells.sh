#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# check-shells.sh CMAKE BUILD_DIR
# Installs BUILD_DIR into a temporary prefix and types "linkvane-cli se<TAB>" into an interactive
# bash (with bash-completion) and zsh there, on a pseudo-terminal, as a user would: both must offer
# search, set and set-mac. bash finds the script through bash-completion's look-up in the data
# folders (XDG_DATA_DIRS, where /usr/local/share is by default; the prefix stands in for it); zsh
# through its fpath, to which the prefix is added as the README tells ~/.local users to. Exits 77 (skipped) when bash-completion or zsh is missing.
set -uo pipefail
cmake_program=$1 build=$2

bash_completion=/usr/share/bash-completion/bash_completion
for need in "$bash_completion" "$(command -v zsh)"; do
    [ -n "$need" ] && [ -e "$need" ] || { echo "SKIP: bash-completion or zsh is missing (scripts/install-deps.sh)"; exit 77; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
"$cmake_program" --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
    { cat "$work/install.log"; echo "FAIL: cmake --install $build --prefix $prefix"; exit 1; }

# Each shell starts from its own startup file only, so the user's own setup cannot make it pass.
cat >"$work/bashrc" <<EOF
PS1='ready> '
PATH=$prefix/bin:\$PATH
XDG_DATA_DIRS=$prefix/share:/usr/local/share:/usr/share
source $bash_completion
EOF
mkdir "$work/zdot"
cat >"$work/zdot/.zshrc" <<EOF
PS1='ready> '
path=($prefix/bin \$path)
fpath=($prefix/share/zsh/site-functions \$fpath)
autoload -Uz compinit && compinit -u -d $work/zcompdump
EOF

# offered SHELL ARGS...: what the shell prints after "linkvane-cli se" and two TABs, on a pseudo-terminal.
offered() {
    python3 - "$@" <<'EOF'
import os, pty, select, sys, time
pid, fd = pty.fork()
if pid == 0:
    os.execvp(sys.argv[1], sys.argv[1:])
out = b""
def read_until(want, limit):
    global out
    end = time.monotonic() + limit
    while want not in out and time.monotonic() < end:
        ready, _, _ = select.select([fd], [], [], 0.2)
        if ready:
            try:
                out += os.read(fd, 4096)
            except OSError:
                break
read_until(b"ready> ", 30)
start = len(out)
os.write(fd, b"linkvane-cli se\t")
time.sleep(0.5)
os.write(fd, b"\t")
read_until(b"set-mac", 30)
sys.stdout.write(out[start:].decode("utf-8", "replace"))
os.write(fd, b"\x03exit\n")
os.kill(pid, 9)
EOF
}

failures=0
for shell in bash zsh; do
    case $shell in
        bash) got=$(HOME=$work TERM=xterm offered bash --noprofile --rcfile "$work/bashrc" -i) ;;
        zsh) got=$(HOME=$work TERM=xterm ZDOTDIR=$work/zdot offered zsh -i) ;;
    esac
    for word in search set set-mac; do
        grep -qw -- "$word" <<<"$got" || { echo "FAIL: $shell offers no '$word' for 'linkvane-cli se<TAB>': $got"; failures=$((failures + 1)); }
    done
done
[ "$failures" -eq 0 ] || exit 1
echo "bash and zsh complete linkvane-cli se<TAB> from $prefix"

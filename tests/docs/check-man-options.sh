#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# check-man-options.sh MANDIR LINKVANE LINKVANE_CLI LINKVANE_DEVSIM
# Every page has the usual sections, and linkvane-cli(1) explains every exit code its --help lists.
# Every option a program's --help lists must be described in its manual page (MANDIR/NAME.1.in):
# as the term of an entry (the line after .TP or .TQ). For linkvane-cli every command of the list
# must have its entry under COMMANDS, and each option of its --help that is not a global one must be
# described in that entry.
set -uo pipefail
mandir=$1 gui=$2 cli=$3 devsim=$4

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

run() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@" 2>&1; }

# The long options of a help page: the rows of its option tables ("  -h, --help", "  --port N",
# Qt's "  --port <N>"), not options merely named inside a description.
options_of() {
    grep -E '^  +(-[A-Za-z?], )?--[A-Za-z0-9]' | sed -E 's/^ +(-[A-Za-z?], )?--([A-Za-z0-9-]+).*/\2/' | sort -u
}

# A page's source with roff's escaped hyphens (\-) made plain.
plain() { sed 's/\\-/-/g' "$1"; }

# The terms of a page's entries: each line that follows a .TP or .TQ.
terms() { plain "$1" | awk 'term { print; term = 0 } /^\.T[PQ]( |$)/ { term = 1 }'; }

# The entry of a linkvane-cli command in its COMMANDS section: from the term ".B COMMAND" to the
# next entry or section.
command_entry() {
    plain "$1" | awk -v c="$2" '
        /^\.SH/ { section = $0 }
        section == ".SH COMMANDS" && term && $0 ~ "^\\.B " c "( |$)" { inside = 1; print; term = 0; next }
        { term = 0 }
        /^\.TP/ { if (inside) inside = 0; term = 1; next }
        /^\.SH/ { inside = 0 }
        inside { print }'
}

# Whether TEXT names --OPTION, the name ending there: --password is not --password-file.
names_option() { grep -Eq -- "--$2([^A-Za-z0-9-]|\$)" <<<"$1"; }

check_terms() {
    local name=$1 help=$2 page=$mandir/$1.1.in count=0
    [ -f "$page" ] || { fail "$page is missing"; return; }
    local described
    described=$(terms "$page")
    while read -r option; do
        [ -n "$option" ] || continue
        count=$((count + 1))
        names_option "$described" "$option" || fail "$name(1) has no entry for --$option ($name --help lists it)"
    done < <(options_of <<<"$help")
    [ "$count" -gt 0 ] || fail "no option read from $name --help"
    echo "$name: $count options checked"
}

check_terms linkvane "$(run "$gui" --help)"
check_terms linkvane-devsim "$(run "$devsim" --help)"
global_help=$(run "$cli" --help)
check_terms linkvane-cli "$global_help"

page=$mandir/linkvane-cli.1.in
global_options=$(options_of <<<"$global_help")
commands=$(sed -n '/^Commands:/,/^$/p' <<<"$global_help" | sed -nE 's/^  ([a-z][a-z-]*) .*/\1/p')
[ -n "$commands" ] || fail "no command read from linkvane-cli --help"
for command in $commands; do
    entry=$(command_entry "$page" "$command")
    if [ -z "$entry" ]; then
        fail "linkvane-cli(1) has no entry for the command $command"
        continue
    fi
    count=0
    while read -r option; do
        [ -n "$option" ] || continue
        count=$((count + 1))
        names_option "$entry" "$option" ||
            fail "linkvane-cli(1) does not describe --$option in the entry of $command"
    done < <(comm -23 <(options_of <<<"$(run "$cli" "$command" --help)") <(echo "$global_options"))
    echo "linkvane-cli $command: $count options of its own checked"
done

# Every page has the sections a reader looks for.
for name in linkvane linkvane-cli linkvane-devsim; do
    for section in NAME SYNOPSIS DESCRIPTION OPTIONS '"EXIT STATUS"' ENVIRONMENT FILES EXAMPLES '"SEE ALSO"'; do
        grep -qx "\.SH $section" "$mandir/$name.1.in" || fail "$name(1) has no section $section"
    done
done

# Every exit code linkvane-cli --help lists has its entry under EXIT STATUS.
codes=$(sed -n '/^Exit status:/,/^$/p' <<<"$global_help" | sed -nE 's/^  ([0-9]+) .*/\1/p')
[ -n "$codes" ] || fail "no exit code read from linkvane-cli --help"
exit_section=$(awk '/^\.SH "EXIT STATUS"/ { inside = 1; next } /^\.SH/ { inside = 0 } inside' "$page")
for code in $codes; do
    grep -qx "\.B $code" <<<"$exit_section" || fail "linkvane-cli(1) does not explain exit status $code"
done

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) of the manual pages failed"
    exit 1
fi
echo "every option of every --help, every section and every exit code is in the manual pages"

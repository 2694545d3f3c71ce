#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Fails when a tracked C++ file differs from what the repository's .clang-format makes of it, and
# names each such file with the first lines that would change. Debian 12's clang-format (14) is the
# reference: another version lays out a few constructs differently.
#   scripts/check-format.sh          check every tracked .cpp and .h
#   scripts/check-format.sh --fix    reformat them in place
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [[ ${1:-} == --fix ]]; then
    clang-format -i "${files[@]}"
    exit 0
fi
drift=()
for f in "${files[@]}"; do
    if ! clang-format --dry-run --Werror "$f" >/dev/null 2>&1; then
        drift+=("$f")
        diff -u "$f" <(clang-format "$f") | sed -n '3,12p' | sed "s|^|    |"
    fi
done
if [[ ${#drift[@]} -gt 0 ]]; then
    echo "check-format.sh: ${#drift[@]} of ${#files[@]} files differ from .clang-format:" >&2
    printf '  %s\n' "${drift[@]}" >&2
    echo "run scripts/check-format.sh --fix (clang-format $(clang-format --version | grep -o '[0-9][0-9.]*' | head -1))" >&2
    exit 1
fi
echo "check-format.sh: all ${#files[@]} files as .clang-format lays them out"

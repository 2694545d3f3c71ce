#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Lists the source files git tracks whose first three lines do not name the licence; fails when there are any.
# Source files: C++, CMake, shell and Python scripts, manual pages, the desktop, AppStream, resource and
# installer files (data such as fuzzing seeds, patches, images and lists is left out).
set -uo pipefail
files=$(git ls-files 2>/dev/null) || { echo "not a git checkout: the source files are unknown"; exit 77; }
missing=0
while IFS= read -r f; do
    case "$f" in
        fuzz/corpus/*) continue ;;
        *.cpp|*.h|*.sh|*.py|*.cmake|*/CMakeLists.txt|CMakeLists.txt|*.1.in|*.xml.in|*.desktop|*.qrc|*.nsi|*.svg|*.supp) ;;
        *) continue ;;
    esac
    if ! head -n 3 "$f" | grep -q "SPDX-License-Identifier: Apache-2.0"; then
        echo "no SPDX-License-Identifier: $f"
        missing=$((missing + 1))
    fi
done <<<"$files"
echo "$(wc -l <<<"$files") tracked files looked at, $missing source file(s) without the licence line"
[ "$missing" -eq 0 ]

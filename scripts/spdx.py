#!/usr/bin/env python3
# Puts "SPDX-License-Identifier: Apache-2.0" at the top of every source file git tracks, in the file's
# own comment syntax (after a "#!" line or an XML declaration), and says which files lack it.
#   scripts/spdx.py          add the line where it is missing
#   scripts/spdx.py --check  only list the files without it; exit 1 when there are any
import subprocess
import sys

TAG = "SPDX-License-Identifier: Apache-2.0"
COMMENT = {
    ".cpp": "// {}", ".h": "// {}", ".sh": "# {}", ".py": "# {}", ".cmake": "# {}", ".txt": "# {}",
    ".supp": "# {}", ".nsi": "; {}", ".in": None, ".desktop": "# {}", ".qrc": "<!-- {} -->",
    ".svg": "<!-- {} -->", ".patch": None,
}


def comment_for(path):
    name = path.rsplit("/", 1)[-1]
    if name == "CMakeLists.txt":
        return "# {}"
    if name.endswith(".txt"):
        return None  # data lists (tests/windows-skips.txt) keep their own format
    if name.endswith(".1.in"):
        return '.\\" {}'
    if name.endswith(".xml.in") or name.endswith(".metainfo.xml"):
        return "<!-- {} -->"
    if name.endswith(".desktop.in"):
        return "# {}"
    for ext, style in COMMENT.items():
        if name.endswith(ext):
            return style
    return None


def main():
    check = "--check" in sys.argv[1:]
    listed = subprocess.run(["git", "ls-files"], capture_output=True, text=True)
    if listed.returncode != 0:
        print("not a git checkout: the source files are unknown")
        return 77
    files = listed.stdout.split()
    missing = []
    for path in files:
        style = comment_for(path)
        if style is None or path.startswith("fuzz/corpus/"):
            continue
        with open(path, encoding="utf-8") as f:
            text = f.read()
        if TAG in text.split("\n", 3)[0:3].__str__():
            continue
        missing.append(path)
        if check:
            continue
        line = style.format(TAG) + "\n"
        lines = text.split("\n")
        # After a "#!" line, an XML declaration, or a manual page's preprocessor line ('\" t), which
        # must stay first.
        firsts = ("#!", "<?xml", "'\\\"")
        at = 1 if lines and lines[0].startswith(firsts) else 0
        lines.insert(at, line.rstrip("\n"))
        with open(path, "w", encoding="utf-8") as f:
            f.write("\n".join(lines))
    for path in missing:
        print(path)
    return 1 if (check and missing) else 0


if __name__ == "__main__":
    sys.exit(main())

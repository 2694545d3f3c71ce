# SPDX-License-Identifier: Apache-2.0
"""check-links.py ROOT: every relative link and image of ROOT/README.md and ROOT/docs/*.md leads to a
file or folder that exists and, with a #fragment, to a heading of that Markdown file (named as GitHub
names its anchors). Links inside code are text, not links, and web addresses are not followed."""
import pathlib
import re
import sys

root = pathlib.Path(sys.argv[1]).resolve()
pages = [root / "README.md"] + sorted((root / "docs").glob("*.md"))
LINK = re.compile(r"!?\[(?:[^\[\]]|\[[^\]]*\])*\]\(([^)\s]+)(?:\s+\"[^\"]*\")?\)")


def prose(path):
    """The page's lines outside fenced code, with inline code blanked out."""
    fenced = False
    for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        if line.lstrip().startswith("```"):
            fenced = not fenced
            continue
        if not fenced:
            yield number, re.sub(r"`[^`]*`", "``", line)


def raw_headings(path):
    """Headings with their inline code kept, since an anchor is made from the code's text too."""
    fenced = False
    for line in path.read_text(encoding="utf-8").splitlines():
        if line.lstrip().startswith("```"):
            fenced = not fenced
        elif not fenced and re.match(r"#{1,6}\s", line):
            yield line


def anchor_set(path):
    """GitHub's anchors of a page's headings: lower case, punctuation dropped, spaces as hyphens, a
    repeated heading numbered -1, -2 ..."""
    seen, result = {}, set()
    for line in raw_headings(path):
        text = re.match(r"#{1,6}\s+(.*?)\s*#*\s*$", line).group(1).replace("`", "")
        slug = re.sub(r"[^\w\- ]", "", text.lower()).replace(" ", "-")
        count = seen.get(slug, 0)
        seen[slug] = count + 1
        result.add(slug if count == 0 else f"{slug}-{count}")
    return result


failures = 0
checked = 0
for page in pages:
    for number, line in prose(page):
        for target in LINK.findall(line):
            if re.match(r"[a-z][a-z0-9+.-]*:", target):
                continue
            checked += 1
            where, _, fragment = target.partition("#")
            dest = (page.parent / where).resolve() if where else page
            problem = None
            if not dest.exists():
                problem = "no such file"
            elif fragment and dest.suffix == ".md" and fragment not in anchor_set(dest):
                problem = f"no heading #{fragment} in {dest.relative_to(root)}"
            if problem:
                failures += 1
                print(f"FAIL: {page.relative_to(root)}:{number}: {target}: {problem}")
print(f"{checked} relative links in {len(pages)} pages checked, {failures} broken")
sys.exit(1 if failures else 0)

#!/usr/bin/env python3
"""Writes debian/changelog from CHANGELOG.md, so that the package's versions
and what each brought are kept in one place: one entry per released version
("## [X.Y.Z] - YYYY-MM-DD"), newest first, holding that version's bullet
items, for distribution unstable, urgency medium, signed by the Maintainer of
debian/control on the date of the version's heading.

    tools/debian-changelog.py CHANGELOG.md debian/control VERSION > debian/changelog

Fails, printing why, when CHANGELOG.md has no entry for VERSION (the version
of CMakeLists.txt), as the package's version would then not be the project's.
"""
import datetime
import email.utils
import re
import sys
import textwrap

RELEASE = re.compile(r"^## \[(\d+(?:\.\d+)*)\] - (\d{4}-\d{2}-\d{2})\s*$")


def control_field(control, name):
    """The first value of a field in debian/control."""
    match = re.search(rf"^{name}:\s*(.+)$", control, re.MULTILINE)
    if not match:
        sys.exit(f"debian-changelog: debian/control has no {name} field")
    return match.group(1).strip()


def releases(changelog):
    """(version, date, items) for each released version, in the file's order.
    A bullet item's continuation lines are joined to it; the Markdown code
    marks are dropped, as the Debian changelog is plain text."""
    found = []
    for line in changelog.splitlines():
        heading = RELEASE.match(line)
        if heading:
            found.append((heading.group(1), heading.group(2), []))
        elif line.startswith("## "):
            found.append((None, None, []))
        elif not found:
            continue
        elif line.startswith("- "):
            found[-1][2].append(line[2:].strip())
        elif line.startswith("  ") and line.strip() and found[-1][2]:
            found[-1][2][-1] += " " + line.strip()
    return [(version, date, [item.replace("`", "") for item in items])
            for version, date, items in found if version]


def entry(package, version, date, items, maintainer):
    day = datetime.datetime.strptime(date, "%Y-%m-%d").replace(tzinfo=datetime.timezone.utc)
    lines = [f"{package} ({version}) unstable; urgency=medium", ""]
    for item in items:
        lines += textwrap.wrap(item, width=78, initial_indent="  * ", subsequent_indent="    ")
    lines += ["", f" -- {maintainer}  {email.utils.format_datetime(day)}", ""]
    return "\n".join(lines)


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    changelog_path, control_path, version = sys.argv[1:]
    with open(control_path, encoding="utf-8") as control_file:
        control = control_file.read()
    with open(changelog_path, encoding="utf-8") as changelog_file:
        found = releases(changelog_file.read())
    if version not in [release[0] for release in found]:
        sys.exit(f"debian-changelog: {changelog_path} has no entry '## [{version}] - DATE' "
                 f"for the project's version {version}")
    for release_version, _, items in found:
        if not items:
            sys.exit(f"debian-changelog: {changelog_path}: version {release_version} "
                     "lists no items")
    package, maintainer = control_field(control, "Source"), control_field(control, "Maintainer")
    print("\n".join(entry(package, *release, maintainer) for release in found), end="")


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Packs a folder into a zip that depends on the files' names, contents and
executable bits alone: entries in byte order of their paths, every entry
dated SOURCE_DATE_EPOCH (in UTC), modes 755 or 644, and no extra fields with
the files' own times or owners, which other zip makers add.

    tools/reproducible-zip.py ZIP FOLDER

The zip's paths start with FOLDER's name. SOURCE_DATE_EPOCH must be set.
"""
import os
import stat
import sys
import time
import zipfile


def entries(folder):
    """(path in the zip, path on disk) of every file under folder, sorted."""
    base = os.path.dirname(os.path.abspath(folder))
    found = []
    for root, _, files in os.walk(folder):
        for name in files:
            path = os.path.join(root, name)
            found.append((os.path.relpath(os.path.abspath(path), base), path))
    return sorted(found, key=lambda entry: entry[0].encode())


def main(zip_path, folder):
    # A zip stores local times of two-second steps from 1980 on.
    stamp = time.gmtime(max(int(os.environ["SOURCE_DATE_EPOCH"]), 315532800))[:6]
    with zipfile.ZipFile(zip_path, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
        for name, path in entries(folder):
            info = zipfile.ZipInfo(name, date_time=stamp)
            info.create_system = 3  # Unix, so that unzip restores the mode
            executable = os.stat(path).st_mode & stat.S_IXUSR
            info.external_attr = (stat.S_IFREG | (0o755 if executable else 0o644)) << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            with open(path, "rb") as source:
                archive.writestr(info, source.read(), compresslevel=9)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])

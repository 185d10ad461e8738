#!/usr/bin/env python3
"""Checks that each library folder includes only its own headers and those of
the folders it links, directly or through them, so that no folder reaches one
above it.

    check_layers.py LAYERS SOURCE_DIR

LAYERS is the file CMake writes (build/layers.txt): one line per library,
its folders, a colon, the folders it links. Prints each include out of place
and exits 1 when there is one.
"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def read_layers(path):
    """Library folders by library (its first folder), and each library's links."""
    folders, links = {}, {}
    with open(path) as f:
        for line in f:
            if ':' not in line:
                continue
            own, deps = line.split(':', 1)
            own = own.split()
            folders[own[0]] = own
            links[own[0]] = deps.split()
    return folders, links


def reach(lib, links, seen=None):
    """The libraries a library links, directly or through others."""
    seen = set() if seen is None else seen
    for dep in links.get(lib, []):
        if dep not in seen:
            seen.add(dep)
            reach(dep, links, seen)
    return seen


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    folders, links = read_layers(sys.argv[1])
    top = sys.argv[2]
    # The library of each folder, longest folder first so that asn1/modules
    # is not taken for asn1.
    owner = {f: lib for lib, fs in folders.items() for f in fs}
    by_length = sorted(owner, key=len, reverse=True)

    def library_of(header):
        for f in by_length:
            if header.startswith(f + '/'):
                return owner[f]
        return None

    bad = 0
    for lib, fs in folders.items():
        allowed = reach(lib, links) | {lib}
        for folder in fs:
            path = os.path.join(top, folder)
            if not os.path.isdir(path):
                continue
            for name in sorted(os.listdir(path)):
                if not name.endswith(('.h', '.cpp')):
                    continue
                with open(os.path.join(path, name)) as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if not m or '/' not in m.group(1):
                            continue
                        target = library_of(m.group(1))
                        if target not in allowed:
                            print('%s/%s:%d: includes "%s" from %s, which %s does not link'
                                  % (folder, name, number, m.group(1), target or 'no library', lib))
                            bad += 1
    print('%d includes out of place' % bad if bad else 'every folder includes only the folders it links')
    return 1 if bad else 0


if __name__ == '__main__':
    sys.exit(main())

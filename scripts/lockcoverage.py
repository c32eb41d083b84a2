#!/usr/bin/env python3
"""Counts the locks of the lock table that clang's thread-safety analysis follows.

usage: scripts/lockcoverage.py ROOT [--list]

A lock counts when a ZOR_GUARDED_BY member or a ZOR_REQUIRES function of driver/ names it: by
the name it is declared under (directly or through an alias of its Ranked type) in the files of
its declaration, or anywhere by an accessor beside it that returns it (ZOR_RETURN_CAPABILITY) or
by a function that returns such an accessor's result. Names are matched as words, so the count is a
close reading, not a proof: scripts/check-thread-safety.sh prints it after the analysis passed.
--list names the locks left out.
"""
import pathlib
import re
import sys


def sources(root):
    return {p: p.read_text() for p in (root / 'driver').rglob('*') if p.suffix in ('.h', '.cpp')}


def lock_ids(root):
    header = (root / 'driver/foundation/lockorder.h').read_text()
    body = header[header.index('enum class LockId'):header.index('kCount')]
    return re.findall(r'^\s+(k\w+),$', body, re.M)


def annotations(text):
    return '\n'.join(re.findall(
        r'ZOR_(?:PT_GUARDED_BY|GUARDED_BY|REQUIRES)\(([^;{]*?)\)', text))


def declared(lock_id, files):
    """The lock's names, each with the file that declares it."""
    ranked = r'Ranked<[^;]*?LockId::%s>' % lock_id
    found = set()
    for path, text in files.items():
        found.update((name, path) for name in re.findall(ranked + r'\s+(\w+)\s*;', text))
        for alias in re.findall(r'using\s+(\w+)\s*=\s*(?:foundation::)?' + ranked + ';', text):
            for other, other_text in files.items():
                found.update(
                    (name, other) for name in re.findall(r'\b%s\s+(\w+)\s*;' % alias, other_text))
    return found


def own_files(path, files):
    """The files of a declaration: x.h and x.cpp beside it."""
    return [text for other, text in files.items()
            if other.parent == path.parent and other.stem == path.stem]


def accessors(names, files):
    """Functions beside a lock that return it, and functions that return their result."""
    found = set()
    for name, path in names:
        for text in own_files(path, files):
            found.update(
                re.findall(r'(\w+)\(\)\s*(?:const\s*)?ZOR_RETURN_CAPABILITY\(%s\)' % name, text))
    for accessor in set(found):
        for text in files.values():
            found.update(re.findall(r'(\w+)\(\)\s*\{\s*return[^;]*\b%s\(\);' % accessor, text))
    return found


def covered(lock_id, files, everywhere):
    names = declared(lock_id, files)
    # A member's own name counts in its own files only (x.h, x.cpp): names like "lock" repeat.
    for name, path in names:
        if re.search(r'\b%s\b' % name, '\n'.join(map(annotations, own_files(path, files)))):
            return True
    return any(re.search(r'\b%s\b' % a, everywhere) for a in accessors(names, files))


def main():
    root = pathlib.Path(sys.argv[1])
    files = sources(root)
    everywhere = annotations('\n'.join(files.values()))
    ids = lock_ids(root)
    under = [i for i in ids if covered(i, files, everywhere)]
    print(f'{len(under)} of {len(ids)}')
    if '--list' in sys.argv:
        print('left out: ' + ' '.join(i for i in ids if i not in under))


if __name__ == '__main__':
    main()

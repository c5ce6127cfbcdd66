#!/usr/bin/env python3
"""Checks that every function the shipped 32-bit binaries import exists on the
oldest Windows they are meant to load on.

    tools/check_imports.py BUILD_DIR            check the binaries of an i686 build tree
    tools/check_imports.py --dump FILE...       print the imports of PE files

A binary's imports (the import table and the delay-load table) are read from
the file itself. Each binary is checked against one or more lists in
tools/imports/: a function passes when a list names it under its DLL. The exit
code is 0 when every import passes, 1 when one does not (each offending import
is named on stderr), 2 when a binary is missing or is not a PE image.
"""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
LISTS = os.path.join(HERE, "imports")

# What the i686 build tree ships, and which Windows each file must load on.
# The hardware PortIO.dll also runs on Windows 98 SE, where it does the port
# accesses itself; the rest need the NT family (XP SP3 and later).
SHIPPED = [
    ("bin/zephkeys.exe", ["xp-sp3"]),
    ("bin/PortIO.dll", ["xp-sp3", "win98se"]),
    ("bin/zephio.sys", ["xp-sp3-kernel"]),
    ("sim/zephkeys.exe", ["xp-sp3"]),
    ("sim/zephpad.exe", ["xp-sp3"]),
    ("sim/PortIO.dll", ["xp-sp3"]),
]


class NotPE(Exception):
    pass


def _u16(data, off):
    return struct.unpack_from("<H", data, off)[0]


def _u32(data, off):
    return struct.unpack_from("<I", data, off)[0]


def _cstr(data, off):
    end = data.find(b"\0", off)
    if end < 0:
        raise NotPE("unterminated name at file offset 0x%x" % off)
    return data[off:end].decode("ascii", "replace")


def read_imports(path):
    """Returns (machine, [(dll, function)]) for a PE file. An import by ordinal
    is given as '#n'."""
    with open(path, "rb") as f:
        data = f.read()
    try:
        return _parse(data)
    except (struct.error, IndexError) as e:
        raise NotPE("truncated image (%s)" % e)


def _parse(data):
    if data[:2] != b"MZ":
        raise NotPE("no MZ header")
    pe = _u32(data, 0x3C)
    if data[pe:pe + 4] != b"PE\0\0":
        raise NotPE("no PE signature")
    coff = pe + 4
    machine = _u16(data, coff)
    nsections = _u16(data, coff + 2)
    opt_size = _u16(data, coff + 16)
    opt = coff + 20
    magic = _u16(data, opt)
    if magic == 0x10B:
        wide, dirs = False, opt + 96
    elif magic == 0x20B:
        wide, dirs = True, opt + 112
    else:
        raise NotPE("unknown optional header 0x%x" % magic)
    ndirs = _u32(data, dirs - 4)
    sections = []
    for i in range(nsections):
        s = opt + opt_size + 40 * i
        vsize, va, rawsize, raw = struct.unpack_from("<IIII", data, s + 8)
        sections.append((va, max(vsize, rawsize), raw, rawsize))

    def at(rva):
        for va, size, raw, rawsize in sections:
            if va <= rva < va + size:
                if rva - va >= rawsize:
                    raise NotPE("RVA 0x%x lies in no file data" % rva)
                return raw + rva - va
        raise NotPE("RVA 0x%x is in no section" % rva)

    def directory(index):
        if index >= ndirs:
            return 0, 0
        return struct.unpack_from("<II", data, dirs + 8 * index)

    def thunks(rva):
        out = []
        step, ordinal_bit = (8, 1 << 63) if wide else (4, 1 << 31)
        off = at(rva)
        while True:
            value = struct.unpack_from("<Q" if wide else "<I", data, off)[0]
            if value == 0:
                return out
            if value & ordinal_bit:
                out.append("#%d" % (value & 0xFFFF))
            else:
                out.append(_cstr(data, at(value & 0x7FFFFFFF) + 2))
            off += step

    imports = []
    rva, size = directory(1)  # the import table
    if rva:
        off = at(rva)
        while True:
            lookup, _, _, name, first = struct.unpack_from("<IIIII", data, off)
            if name == 0 and first == 0:
                break
            dll = _cstr(data, at(name))
            imports += [(dll, fn) for fn in thunks(lookup or first)]
            off += 20
    rva, size = directory(13)  # the delay-load table
    if rva:
        off = at(rva)
        while True:
            attrs, name, _, _, names = struct.unpack_from("<IIIII", data, off)
            if name == 0:
                break
            # Version 1 tables hold RVAs; the old form held addresses.
            base = 0 if attrs & 1 else _image_base(data, opt, wide)
            dll = _cstr(data, at(name - base))
            imports += [(dll, fn) for fn in thunks(names - base)]
            off += 32
    return machine, imports


def _image_base(data, opt, wide):
    return struct.unpack_from("<Q", data, opt + 24)[0] if wide else _u32(data, opt + 28)


def load_list(name):
    """A list file: '[dll]' lines start a DLL, every other line names one of its
    functions; '#' starts a comment. DLL names compare without case."""
    allowed = {}
    dll = None
    path = os.path.join(LISTS, name + ".txt")
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.split("#", 1)[0].strip()
            if not line:
                continue
            if line.startswith("[") and line.endswith("]"):
                dll = line[1:-1].strip().lower()
                allowed.setdefault(dll, set())
            elif dll is None:
                raise SystemExit("%s:%d: a function before any [dll] line" % (path, number))
            else:
                allowed[dll].add(line)
    return allowed


def check_tree(build):
    lists = {}
    offending = 0
    for rel, wanted in SHIPPED:
        path = os.path.join(build, rel)
        if not os.path.isfile(path):
            print("%s: missing (build the tree first)" % path, file=sys.stderr)
            return 2
        try:
            machine, imports = read_imports(path)
        except NotPE as e:
            print("%s: not a PE image: %s" % (path, e), file=sys.stderr)
            return 2
        if machine != 0x14C:
            print("%s: not an i686 image (machine 0x%x)" % (path, machine), file=sys.stderr)
            return 2
        for name in wanted:
            if name not in lists:
                lists[name] = load_list(name)
            allowed = lists[name]
            for dll, fn in imports:
                if fn not in allowed.get(dll.lower(), ()):
                    print("%s: imports %s!%s, which is not in tools/imports/%s.txt" % (rel, dll, fn, name),
                          file=sys.stderr)
                    offending += 1
        print("%s: %d imports checked against %s" % (rel, len(imports), ", ".join(wanted)))
    if offending:
        print("%d imports not on the Windows they must load on" % offending, file=sys.stderr)
        return 1
    return 0


def main(argv):
    if len(argv) >= 2 and argv[0] == "--dump":
        for path in argv[1:]:
            machine, imports = read_imports(path)
            for dll, fn in imports:
                print("%s\t%s\t%s" % (path, dll, fn))
        return 0
    if len(argv) != 1:
        print(__doc__, file=sys.stderr)
        return 2
    return check_tree(argv[0])


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

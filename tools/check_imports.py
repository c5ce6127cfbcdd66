#!/usr/bin/env python3
"""Checks the binaries a build tree ships: that every function the 32-bit ones
import exists on the oldest Windows they are meant to load on, and, with
--version, that each carries a version resource with that version and its own
file name.

    tools/check_imports.py [--version X.Y.Z.W] [--skip-missing-tree] BUILD_DIR
    tools/check_imports.py --dump FILE...       print the imports of PE files

A binary's imports (the import table and the delay-load table) are read from
the file itself. Each i686 binary is checked against one or more lists in
tools/imports/: a function passes when a list names it under its DLL (an x86_64
tree's imports are not checked). The exit code is 0 when everything passes, 1
when something does not (each fault is named on stderr), 2 when a binary is
missing or is not a PE image, 77 with --skip-missing-tree when BUILD_DIR has
not been built at all.
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
    ("sim/zephpad.com", ["xp-sp3"]),
    ("sim/PortIO.dll", ["xp-sp3"]),
    ("bin/zephfolder.exe", ["xp-sp3"]),
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
    machine, imports, _ = read_image(path)
    return machine, imports


def read_image(path):
    """Returns (machine, imports, version) for a PE file; version is None or
    (file version text, {string name: value}) from its version resource."""
    with open(path, "rb") as f:
        data = f.read()
    try:
        return _parse(data)
    except (struct.error, IndexError, UnicodeDecodeError) as e:
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
    version = None
    rva, size = directory(2)  # the resources
    if rva:
        blob = _find_resource(data, at(rva), [16, 1])  # RT_VERSION, VS_VERSION_INFO
        if blob is not None:
            data_rva, data_size = struct.unpack_from("<II", data, blob)
            start = at(data_rva)
            version = _version_info(data[start:start + data_size])
    return machine, imports, version


def _find_resource(data, root, path):
    """The file offset of the data entry under the resource directory at root
    reached through path (ids), then the first language; None if absent."""
    node = root
    for level in range(len(path) + 1):
        named, ids = struct.unpack_from("<HH", data, node + 12)
        entries = node + 16
        found = None
        for i in range(named + ids):
            ident, target = struct.unpack_from("<II", data, entries + 8 * i)
            if level == len(path) or (not ident & 0x80000000 and ident == path[level]):
                found = target
                break
        if found is None:
            return None
        if not found & 0x80000000:
            return root + found if level == len(path) else None
        node = root + (found & 0x7FFFFFFF)
    return None


def _version_info(blob):
    """(file version "a.b.c.d", {name: value}) from a VS_VERSIONINFO block."""
    strings = {}
    fixed = blob.find(struct.pack("<I", 0xFEEF04BD))
    if fixed < 0:
        return None
    ms, ls = struct.unpack_from("<II", blob, fixed + 8)
    text = "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)

    def walk(off, end):
        while off + 6 <= end:
            length, value_length, kind = struct.unpack_from("<HHH", blob, off)
            if length == 0:
                return
            key_end = off + 6
            while blob[key_end:key_end + 2] != b"\0\0":
                key_end += 2
            key = blob[off + 6:key_end].decode("utf-16-le")
            value_off = (key_end + 2 + 3) & ~3
            if kind == 1 and value_length:  # a text value: the String of a StringTable
                strings[key] = blob[value_off:value_off + 2 * value_length].decode("utf-16-le").rstrip("\0")
                value_end = value_off + 2 * value_length
            else:
                value_end = value_off + value_length
            walk((value_end + 3) & ~3, off + length)
            off = (off + length + 3) & ~3

    walk(0, len(blob))
    return text, strings


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


def check_version(rel, version, expected):
    """Faults of one file's version resource, as messages."""
    name = os.path.basename(rel)
    if version is None:
        return ["%s: no version resource" % rel]
    text, strings = version
    faults = []
    if text != expected:
        faults.append("%s: file version %s, not %s" % (rel, text, expected))
    wanted = {"OriginalFilename": name, "InternalName": os.path.splitext(name)[0],
              "FileVersion": expected.replace(".", ", "), "ProductVersion": expected.replace(".", ", ")}
    for key, value in wanted.items():
        if strings.get(key) != value:
            faults.append("%s: %s is %r, not %r" % (rel, key, strings.get(key), value))
    return faults


def check_tree(build, expected_version=None):
    lists = {}
    offending = 0
    for rel, wanted in SHIPPED:
        path = os.path.join(build, rel)
        if not os.path.isfile(path):
            print("%s: missing (build the tree first)" % path, file=sys.stderr)
            return 2
        try:
            machine, imports, version = read_image(path)
        except NotPE as e:
            print("%s: not a PE image: %s" % (path, e), file=sys.stderr)
            return 2
        if expected_version:
            for fault in check_version(rel, version, expected_version):
                print(fault, file=sys.stderr)
                offending += 1
        if machine != 0x14C:
            continue  # the x86_64 tree: its imports are not checked
        for name in wanted:
            if name not in lists:
                lists[name] = load_list(name)
            allowed = lists[name]
            for dll, fn in imports:
                if fn not in allowed.get(dll.lower(), ()):
                    print("%s: imports %s!%s, which is not in tools/imports/%s.txt" % (rel, dll, fn, name),
                          file=sys.stderr)
                    offending += 1
        print("%s: %d imports checked against %s" % (rel, len(imports), ", ".join(wanted)), flush=True)
    if offending:
        print("%d faults in the shipped binaries of %s" % (offending, build), file=sys.stderr)
        return 1
    return 0


def main(argv):
    if len(argv) >= 2 and argv[0] == "--dump":
        for path in argv[1:]:
            machine, imports = read_imports(path)
            for dll, fn in imports:
                print("%s\t%s\t%s" % (path, dll, fn))
        return 0
    version = None
    skip_missing = False
    while argv and argv[0].startswith("--"):
        if argv[0] == "--version" and len(argv) > 1:
            version, argv = argv[1], argv[2:]
        elif argv[0] == "--skip-missing-tree":
            skip_missing, argv = True, argv[1:]
        else:
            break
    if len(argv) != 1:
        print(__doc__, file=sys.stderr)
        return 2
    if skip_missing and not os.path.isdir(os.path.join(argv[0], "bin")):
        print("%s: not built, nothing checked" % argv[0])
        return 77
    return check_tree(argv[0], version)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

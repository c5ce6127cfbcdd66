#!/usr/bin/env python3
"""Checks what a Windows build tree ships: the files the setup carries
(installer/payload/) and the setup itself.

    tools/check_shipped.py [--skip-missing-tree] BUILD_DIR VERSION

Each image must
  - import, when it is i686, only functions a list in tools/imports/ names under
    its DLL (the oldest Windows it is meant to load on has them);
  - carry the version resource of VERSION: for a file, under its own file
    name; for the setup, with the product's name and publisher;
  - keep Windows' protections: address space randomisation (DYNAMIC_BASE, and
    relocations the loader may apply), no-execute data (NX_COMPAT), and on
    x86_64 the full 64-bit randomisation (HIGH_ENTROPY_VA);
  - hold no time stamp but the commit's (BUILD_DIR/source_date_epoch.txt) and
    no build path; the setup's own header is makensis's and keeps its time;
  - be signed exactly when the tree was configured with a certificate.
The PE files are read with Debian's python3-pefile. Exit code 0 when all pass,
1 when something does not (each fault on stderr), 2 when a file is missing, 77
with --skip-missing-tree when BUILD_DIR has no setup built.
"""
import functools
import os
import re
import sys

import pefile

HERE = os.path.dirname(os.path.abspath(__file__))
PRODUCT, PUBLISHER = "Zephra Button", "Velmaris"

# The files the setup carries, and which Windows each must load on. The hardware
# PortIO.dll also runs on Windows 98 SE, where it does the port accesses itself.
SHIPPED = [
    ("zephkeys.exe", ["xp-sp3"]),
    ("PortIO.dll", ["xp-sp3", "win98se"]),
    ("zephio.sys", ["xp-sp3-kernel"]),
    ("zephpad.exe", ["xp-sp3"]),
    ("zephpad.com", ["xp-sp3"]),
    ("Simulator/zephkeys.exe", ["xp-sp3"]),
    ("Simulator/PortIO.dll", ["xp-sp3"]),
    ("Simulator/zephpad.exe", ["xp-sp3"]),
    ("Simulator/zephpad.com", ["xp-sp3"]),
    # Not installed: the setup runs it from its temporary folder, as an administrator.
    ("../carried/zephfolder.exe", ["xp-sp3"]),
]
I386, AMD64 = 0x14C, 0x8664
DYNAMIC_BASE, NX_COMPAT, HIGH_ENTROPY_VA = 0x40, 0x100, 0x20
RELOCS_STRIPPED = 0x1


@functools.lru_cache(maxsize=None)
def load_list(name):
    """A list file: '[dll]' lines start a DLL, every other line names one of its
    functions; '#' starts a comment. DLL names compare without case."""
    allowed, dll = {}, None
    path = os.path.join(HERE, "imports", name + ".txt")
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.split("#", 1)[0].strip()
            if line.startswith("[") and line.endswith("]"):
                dll = allowed.setdefault(line[1:-1].strip().lower(), set())
            elif line and dll is None:
                raise SystemExit("%s:%d: a function before any [dll] line" % (path, number))
            elif line:
                dll.add(line)
    return allowed


def imports(pe):
    """(dll, function) of the import and delay-load tables; '#n' by ordinal."""
    out = []
    for table in ("DIRECTORY_ENTRY_IMPORT", "DIRECTORY_ENTRY_DELAY_IMPORT"):
        for entry in getattr(pe, table, []):
            dll = entry.dll.decode("ascii")
            out += [(dll, i.name.decode("ascii") if i.name else "#%d" % i.ordinal) for i in entry.imports]
    return out


def version_faults(pe, rel, version, setup):
    fixed = getattr(pe, "VS_FIXEDFILEINFO", None)
    if not fixed:
        return ["no version resource"]
    fixed = fixed[0]
    faults = []
    text = "%d.%d.%d.%d" % (fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF,
                            fixed.FileVersionLS >> 16, fixed.FileVersionLS & 0xFFFF)
    if text != version:
        faults.append("file version %s, not %s" % (text, version))
    strings = {}
    for info in getattr(pe, "FileInfo", []):
        for block in info:
            for table in getattr(block, "StringTable", []):
                strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
    if setup:
        wanted = {"ProductName": PRODUCT, "CompanyName": PUBLISHER,
                  "FileVersion": version, "ProductVersion": version}
    else:
        name = os.path.basename(rel)
        wanted = {"ProductName": PRODUCT, "CompanyName": PUBLISHER,
                  "OriginalFilename": name, "InternalName": os.path.splitext(name)[0],
                  "FileVersion": version.replace(".", ", "), "ProductVersion": version.replace(".", ", ")}
    for key, value in wanted.items():
        if strings.get(key) != value:
            faults.append("%s is %r, not %r" % (key, strings.get(key), value))
    return faults


def protection_faults(pe, setup):
    machine = pe.FILE_HEADER.Machine
    flags = pe.OPTIONAL_HEADER.DllCharacteristics
    wanted = [(DYNAMIC_BASE, "DYNAMIC_BASE"), (NX_COMPAT, "NX_COMPAT")]
    if machine == AMD64:
        wanted.append((HIGH_ENTROPY_VA, "HIGH_ENTROPY_VA"))
    faults = ["not marked %s" % name for bit, name in wanted if not flags & bit]
    # An image without relocations stays at its preferred base whatever its
    # flags say. makensis's own stub is what it is: only our images are held to it.
    if not setup and pe.FILE_HEADER.Characteristics & RELOCS_STRIPPED:
        faults.append("relocations stripped: it cannot be moved")
    return faults


def time_faults(pe, epoch, setup):
    stamps = [] if setup else [("PE header", pe.FILE_HEADER.TimeDateStamp)]
    if hasattr(pe, "DIRECTORY_ENTRY_EXPORT"):
        stamps.append(("export table", pe.DIRECTORY_ENTRY_EXPORT.struct.TimeDateStamp))
    if hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        stamps.append(("resource directory", pe.DIRECTORY_ENTRY_RESOURCE.struct.TimeDateStamp))
    for entry in getattr(pe, "DIRECTORY_ENTRY_DEBUG", []):
        stamps.append(("debug directory", entry.struct.TimeDateStamp))
    for fixed in getattr(pe, "VS_FIXEDFILEINFO", []):
        stamps.append(("version resource", fixed.FileDateMS << 32 | fixed.FileDateLS))
    # 0 is no time at all; only the header and export table must have one.
    return ["%s time stamp %d, not the commit's %d" % (what, value, epoch)
            for what, value in stamps if value != epoch and (value or what in ("PE header", "export table"))]


def check_image(path, rel, version, epoch, rules, build_paths, signed, setup=False):
    with open(path, "rb") as f:
        data = f.read()
    try:
        pe = pefile.PE(data=data)
    except pefile.PEFormatError as e:
        return ["not a PE image: %s" % e]
    faults = version_faults(pe, rel, version, setup) + protection_faults(pe, setup) + time_faults(pe, epoch, setup)
    for where in build_paths:
        if where.encode() in data or where.encode("utf-16-le") in data:
            faults.append("holds the build path %s" % where)
    has_signature = pe.OPTIONAL_HEADER.DATA_DIRECTORY[4].Size > 0
    if has_signature != signed:
        faults.append("signed" if has_signature else "not signed")
    if pe.FILE_HEADER.Machine == I386:
        for dll, fn in imports(pe):
            for name in rules:
                if fn not in load_list(name).get(dll.lower(), ()):
                    faults.append("imports %s!%s, which is not in tools/imports/%s.txt" % (dll, fn, name))
    return faults


def cache_value(build, name):
    with open(os.path.join(build, "CMakeCache.txt"), encoding="utf-8") as f:
        match = re.search(r"^%s:[A-Z]+=(.*)$" % name, f.read(), re.M)
    return match.group(1) if match else ""


def check_tree(build, version, skip_missing):
    build = os.path.abspath(build)
    payload = os.path.join(build, "installer", "payload")
    if not os.path.isdir(payload):
        print("%s: no setup built, nothing checked" % build)
        return 77 if skip_missing else 2
    with open(os.path.join(build, "source_date_epoch.txt")) as f:
        epoch = int(f.read())
    program = pefile.PE(os.path.join(payload, "zephkeys.exe"), fast_load=True)
    arch = "x64" if program.FILE_HEADER.Machine == AMD64 else "x86"
    setup = os.path.join(cache_value(build, "ZEPH_DIST_DIR"), "ZephraButton-%s-%s-setup.exe" % (version, arch))
    signed = bool(cache_value(build, "ZEPH_SIGN_PKCS12"))
    source = os.path.dirname(HERE)
    files = [(os.path.join(payload, rel), rel, rules, False) for rel, rules in SHIPPED]
    files.append((setup, os.path.basename(setup), [], True))
    faults = 0
    for path, rel, rules, is_setup in files:
        if not os.path.isfile(path):
            print("%s: missing (build the tree first)" % path, file=sys.stderr)
            return 2
        for fault in check_image(path, rel, version, epoch, rules, [source, build], signed, is_setup):
            print("%s: %s" % (path, fault), file=sys.stderr)
            faults += 1
        print("%s: checked" % rel, flush=True)
    if faults:
        print("%d faults in what %s ships" % (faults, build), file=sys.stderr)
        return 1
    return 0


def main(argv):
    skip_missing = argv[:1] == ["--skip-missing-tree"]
    if skip_missing:
        argv = argv[1:]
    if len(argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    return check_tree(argv[0], argv[1], skip_missing)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

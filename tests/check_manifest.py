#!/usr/bin/env python3
"""Fails unless each program's embedded application manifest (RT_MANIFEST, ID 1, the one that
CreateProcess reads) asks for requireAdministrator without uiAccess.

    check_manifest.py program.exe...
"""

import struct
import sys
import xml.etree.ElementTree as ET

RT_MANIFEST = 24
CREATEPROCESS_MANIFEST_RESOURCE_ID = 1
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"


def sections(pe: bytes):
    header = struct.unpack_from("<I", pe, 0x3C)[0]
    if pe[header:header + 4] != b"PE\0\0":
        raise ValueError("no PE header")
    count, optional_size = struct.unpack_from("<H12xH", pe, header + 6)
    optional = header + 24
    magic = struct.unpack_from("<H", pe, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    resource_rva = struct.unpack_from("<I", pe, directories + 2 * 8)[0]
    table = optional + optional_size
    found = [struct.unpack_from("<8sIIII", pe, table + 40 * i) for i in range(count)]
    return resource_rva, [(rva, size, raw) for _name, size, rva, _raw_size, raw in found]


def to_offset(rva: int, table) -> int:
    for start, size, raw in table:
        if start <= rva < start + max(size, 1):
            return raw + rva - start
    raise ValueError(f"RVA {rva:#x} lies in no section")


def entries(pe: bytes, base: int, offset: int):
    named, by_id = struct.unpack_from("<12xHH", pe, base + offset)
    for i in range(named + by_id):
        ident, target = struct.unpack_from("<II", pe, base + offset + 16 + 8 * i)
        yield ident, target


def manifest(pe: bytes) -> bytes:
    resource_rva, table = sections(pe)
    base = to_offset(resource_rva, table)

    def child(offset: int, wanted: int | None) -> int:
        for ident, target in entries(pe, base, offset):
            if wanted is None or ident == wanted:
                return target & 0x7FFFFFFF
        raise ValueError(f"no resource {wanted}")

    language_dir = child(child(0, RT_MANIFEST), CREATEPROCESS_MANIFEST_RESOURCE_ID)
    data_rva, size = struct.unpack_from("<II", pe, base + child(language_dir, None))
    return pe[to_offset(data_rva, table):][:size]


def main() -> int:
    failed = False
    for path in sys.argv[1:]:
        try:
            root = ET.fromstring(manifest(open(path, "rb").read()))
            levels = root.findall(f"{ASM_V3}trustInfo/{ASM_V3}security/{ASM_V3}requestedPrivileges/"
                                  f"{ASM_V3}requestedExecutionLevel")
            got = [(e.get("level"), e.get("uiAccess")) for e in levels]
            if got != [("requireAdministrator", "false")]:
                print(f"FAIL {path}: requestedExecutionLevel {got}")
                failed = True
        except (OSError, ValueError, struct.error, ET.ParseError) as error:
            print(f"FAIL {path}: {error}")
            failed = True
    if not failed:
        print("requireAdministrator: " + " ".join(sys.argv[1:]))
    return 1 if failed or len(sys.argv) < 2 else 0


if __name__ == "__main__":
    sys.exit(main())

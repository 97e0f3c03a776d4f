#!/usr/bin/env python3
"""Reads a Windows program's manifest back from its resources (type 24, RT_MANIFEST, number 1) and
checks that it asks for the common controls 6, without which the task dialogs do not exist on
Windows (Wine does not enforce it), and that it runs with the user's own rights.
    manifest_check.py PROGRAM.exe"""
import struct
import sys

RT_MANIFEST = 24


def resource_data(image, type_id, name_id):
    (pe_offset,) = struct.unpack_from("<I", image, 0x3C)
    if image[pe_offset:pe_offset + 4] != b"PE\0\0":
        raise ValueError("not a PE file")
    sections = struct.unpack_from("<H", image, pe_offset + 6)[0]
    optional_size = struct.unpack_from("<H", image, pe_offset + 20)[0]
    optional = pe_offset + 24
    magic = struct.unpack_from("<H", image, optional)[0]
    directories = optional + (112 if magic == 0x20B else 96)
    resource_rva, _ = struct.unpack_from("<II", image, directories + 2 * 8)
    table = optional + optional_size
    if resource_rva == 0:
        return None

    def offset(rva):
        for i in range(sections):
            entry = table + 40 * i
            size, address, raw_size, raw = struct.unpack_from("<IIII", image, entry + 8)
            if address <= rva < address + max(size, raw_size):
                return raw + rva - address
        raise ValueError("address %#x outside every section" % rva)

    base = offset(resource_rva)

    def entries(directory):
        named, numbered = struct.unpack_from("<HH", image, base + directory + 12)
        for i in range(named + numbered):
            name, target = struct.unpack_from("<II", image, base + directory + 16 + 8 * i)
            yield name, target

    def find(directory, wanted):
        for name, target in entries(directory):
            if not name & 0x80000000 and name == wanted:
                return target
        return None

    by_type = find(0, type_id)
    if by_type is None or not by_type & 0x80000000:
        return None
    by_name = find(by_type & 0x7FFFFFFF, name_id)
    if by_name is None or not by_name & 0x80000000:
        return None
    languages = list(entries(by_name & 0x7FFFFFFF))
    if not languages:
        return None
    data_entry = languages[0][1]
    rva, size = struct.unpack_from("<II", image, base + data_entry)
    start = offset(rva)
    return image[start:start + size]


def main():
    with open(sys.argv[1], "rb") as program:
        image = program.read()
    manifest = resource_data(image, RT_MANIFEST, 1)
    if manifest is None:
        print("no manifest (resource type 24, number 1) in " + sys.argv[1])
        return 1
    text = manifest.decode("utf-8")
    wanted = [
        'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"',
        'publicKeyToken="6595b64144ccf1df"',
        'requestedExecutionLevel level="asInvoker"',
    ]
    flat = " ".join(text.split())
    missing = [part for part in wanted if part not in flat]
    for part in missing:
        print("the manifest lacks " + part)
    if missing:
        print(text)
        return 1
    print(sys.argv[1] + ": the manifest asks for the common controls 6")
    return 0


if __name__ == "__main__":
    sys.exit(main())

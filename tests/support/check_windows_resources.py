#!/usr/bin/env python3
"""Reads a compiled Windows resource file (.res) and checks the executable's icon and
version sheet. Usage: check_windows_resources.py <file.res> <icon.ico>.
Prints every fault found and exits 1 if there was any."""
import struct
import sys

RT_ICON, RT_VERSION, RT_GROUP_ICON = 3, 16, 14
ITALIAN = 0x0410
faults = []


def check(condition, message):
    if not condition:
        faults.append(message)
    return condition


def align4(n):
    return (n + 3) & ~3


def read_id(data, pos):
    """A type or name: 0xFFFF and an ordinal, or a zero-terminated UTF-16 string."""
    if struct.unpack_from("<H", data, pos)[0] == 0xFFFF:
        return struct.unpack_from("<H", data, pos + 2)[0], pos + 4
    end = pos
    while struct.unpack_from("<H", data, end)[0] != 0:
        end += 2
    return data[pos:end].decode("utf-16-le"), end + 2


def resources(data):
    pos, found = 0, []
    while pos + 8 <= len(data):
        size, header_size = struct.unpack_from("<II", data, pos)
        kind, p = read_id(data, pos + 8)
        name, p = read_id(data, p)
        p = align4(p)
        _, _, language = struct.unpack_from("<IHH", data, p)
        body = data[pos + header_size:pos + header_size + size]
        if size:  # the first entry of every .res is an empty marker
            found.append((kind, name, language, body))
        pos = align4(pos + header_size + size)
    return found


def version_node(data, pos):
    """One node of a version sheet: (key, value, children)."""
    length, value_length, kind = struct.unpack_from("<HHH", data, pos)
    end = pos + length
    key_end = pos + 6
    while struct.unpack_from("<H", data, key_end)[0] != 0:
        key_end += 2
    key = data[pos + 6:key_end].decode("utf-16-le")
    p = align4(key_end + 2)
    value_bytes = value_length * 2 if kind == 1 else value_length
    value = data[p:p + value_bytes]
    if kind == 1:
        value = value.decode("utf-16-le").rstrip("\0")
    p = align4(p + value_bytes)
    children = []
    while p < end:
        child, p = version_node(data, p)
        children.append(child)
    return (key, value, children), align4(end)


def check_icon(found, ico):
    count = struct.unpack_from("<H", ico, 4)[0]
    _, _, _, _, _, _, size, offset = struct.unpack_from("<BBBBHHII", ico, 6)
    icons = [r for r in found if r[0] == RT_ICON]
    groups = [r for r in found if r[0] == RT_GROUP_ICON]
    if not check(len(icons) == count == 1 and len(groups) == 1,
                 f"expected one icon with one image, found {len(icons)} image(s), {len(groups)} group(s)"):
        return
    check(icons[0][3] == ico[offset:offset + size],
          "the executable's icon is not the picture of the main window's icon file")
    _, width, height, _, bits = struct.unpack_from("<IiiHH", icons[0][3], 0)
    check((width, height, bits) == (32, 64, 24),
          f"icon image is {width}x{height // 2} with {bits} bits per pixel, not 32x32 with 24")
    entry = struct.unpack_from("<BBBBHHIH", groups[0][3], 6)
    check(entry[0] == 32 and entry[1] == 32 and entry[5] == 24,
          f"icon group entry says {entry[0]}x{entry[1]}, {entry[5]} bits")
    check(icons[0][2] == groups[0][2] == ITALIAN, "icon resources are not marked Italian")


def check_version(found):
    sheets = [r for r in found if r[0] == RT_VERSION]
    if not check(len(sheets) == 1, f"expected one version sheet, found {len(sheets)}"):
        return
    check(sheets[0][2] == ITALIAN, f"version sheet language is {sheets[0][2]:#06x}, not 0x0410")
    (key, fixed, children), _ = version_node(sheets[0][3], 0)
    check(key == "VS_VERSION_INFO", f"version sheet root is {key!r}")
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", fixed)
    check(signature == 0xFEEF04BD, "fixed version information is missing")
    check((file_ms, file_ls) == (0x00010000, 0), "FileVersion number is not 1.0.0.0")
    check((product_ms, product_ls) == (0x00010000, 0), "ProductVersion number is not 1.0.0.0")
    blocks = {child[0]: child for child in children}
    tables = blocks.get("StringFileInfo", (None, None, []))[2]
    check([t[0] for t in tables] == ["041004B0"],
          f"string tables {[t[0] for t in tables]}, expected only 041004B0")
    strings = {s[0]: s[1] for t in tables for s in t[2]}
    for name, expected in (("FileVersion", "1.00"), ("ProductVersion", "1.00"),
                           ("ProductName", "Morvantil"), ("InternalName", "Morvantil"),
                           ("OriginalFilename", "Morvantil.exe")):
        check(strings.get(name) == expected, f"{name} is {strings.get(name)!r}, expected {expected!r}")
    check(bool(strings.get("CompanyName")), "CompanyName is missing or empty")
    variables = {v[0]: v[1] for v in blocks.get("VarFileInfo", (None, None, []))[2]}
    translation = variables.get("Translation", b"")
    check(translation == struct.pack("<HH", ITALIAN, 1200),
          f"Translation is {translation.hex()}, expected Italian with code page 1200")


def main():
    with open(sys.argv[1], "rb") as f:
        found = resources(f.read())
    with open(sys.argv[2], "rb") as f:
        ico = f.read()
    check_icon(found, ico)
    check_version(found)
    for fault in faults:
        print("FAIL:", fault)
    if not faults:
        print(f"resources ok: {len(found)} entries")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())

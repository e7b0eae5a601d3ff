#!/usr/bin/env python3
"""The Windows programs carry the project's version where Explorer shows it (a version
resource) and a manifest that declares long paths and UTF-8 as the code page.

    windows_resources.py VERSION PROGRAM.exe...
"""

import re
import struct
import sys
import xml.etree.ElementTree as ElementTree

RT_VERSION, RT_MANIFEST = 16, 24
SETTINGS_2016 = "{http://schemas.microsoft.com/SMI/2016/WindowsSettings}"
SETTINGS_2019 = "{http://schemas.microsoft.com/SMI/2019/WindowsSettings}"


def resources(image):
    """{type: data of its first resource} from the PE image's resource directory."""
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE image")
    sections, optional_size = struct.unpack_from("<H12xH", image, pe + 6)
    optional = pe + 24
    # PE32+: the data directories begin at 112; the resource table is the third.
    rva = struct.unpack_from("<I", image, optional + 112 + 2 * 8)[0]
    if rva == 0:
        return {}
    table = []
    for index in range(sections):
        at = optional + optional_size + index * 40
        size, address, _, offset = struct.unpack_from("<IIII", image, at + 8)
        table.append((address, size, offset))

    def file_offset(address):
        for start, size, offset in table:
            if start <= address < start + size:
                return address - start + offset
        raise ValueError(f"RVA {address:#x} in no section")

    base = file_offset(rva)

    def entries(directory):
        named, numbered = struct.unpack_from("<HH", image, base + directory + 12)
        for index in range(named + numbered):
            name, target = struct.unpack_from("<II", image, base + directory + 16 + index * 8)
            yield name, target

    found = {}
    for kind, target in entries(0):
        # Type, then name, then language: the first of each.
        while target & 0x80000000:
            target = next(entries(target & 0x7FFFFFFF))[1]
        data, size = struct.unpack_from("<II", image, base + target)
        found[kind] = image[file_offset(data):file_offset(data) + size]
    return found


def problems(program, version):
    with open(program, "rb") as file:
        found = resources(file.read())
    wrong = []
    info = found.get(RT_VERSION)
    if info is None:
        wrong.append("no version resource")
    else:
        fixed = info.find(struct.pack("<I", 0xFEEF04BD))
        file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<IIII", info, fixed + 8)
        numbers = [file_ms >> 16, file_ms & 0xFFFF, file_ls >> 16, file_ls & 0xFFFF]
        if ".".join(map(str, numbers)) != version + ".0" or (product_ms, product_ls) != (
                file_ms, file_ls):
            wrong.append(f"version {numbers}")
        text = info.decode("utf-16-le", "replace")
        for key in ("FileVersion", "ProductVersion"):
            shown = re.search(key + r"\x00+([^\x00]*)", text)
            if shown is None or shown.group(1) != version:
                wrong.append(f"{key} {shown and shown.group(1)!r}")
    manifest = found.get(RT_MANIFEST)
    if manifest is None:
        wrong.append("no manifest")
    else:
        root = ElementTree.fromstring(manifest)
        long_paths = root.find(f".//{SETTINGS_2016}longPathAware")
        code_page = root.find(f".//{SETTINGS_2019}activeCodePage")
        if long_paths is None or long_paths.text.strip() != "true":
            wrong.append("no longPathAware true")
        if code_page is None or code_page.text.strip() != "UTF-8":
            wrong.append("no activeCodePage UTF-8")
    print(f"{program}: {'; '.join(wrong) or 'version ' + version + ', long paths, UTF-8'}")
    return wrong


def main():
    version, programs = sys.argv[1], sys.argv[2:]
    failures = [program for program in programs if problems(program, version)]
    if not programs or failures:
        sys.exit("without the version or manifest they should carry: " + ", ".join(failures))


if __name__ == "__main__":
    main()

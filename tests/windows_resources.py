#!/usr/bin/env python3
"""The Windows programs carry the project's version where Explorer shows it (a version
resource) and a manifest that declares long paths and UTF-8 as the code page.

    windows_resources.py VERSION PROGRAM.exe...
"""

import re
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

SETTINGS_2016 = "{http://schemas.microsoft.com/SMI/2016/WindowsSettings}"
SETTINGS_2019 = "{http://schemas.microsoft.com/SMI/2019/WindowsSettings}"


def problems(program, version):
    """What `program` lacks, as windres reads its resources back."""
    resources = subprocess.run(["x86_64-w64-mingw32-windres", "-J", "coff", "-O", "rc", "-i",
                                program], capture_output=True, text=True).stdout
    wrong = []
    numbers = re.search(r"^ FILEVERSION (.*)$", resources, re.M)
    if numbers is None or numbers.group(1).replace(", ", ".") != version + ".0":
        wrong.append(f"FILEVERSION {numbers and numbers.group(1)!r}")
    for key in ("FileVersion", "ProductVersion"):
        if f'VALUE "{key}", "{version}"' not in resources:
            wrong.append(f"no {key} {version}")
    manifest = re.search(r"RT_MANIFEST \*/\nBEGIN\n(.*?)^END", resources, re.M | re.S)
    if manifest is None:
        wrong.append("no manifest")
    else:
        text = "".join(re.findall(r'^\s*"(.*)"$', manifest.group(1), re.M))
        root = ElementTree.fromstring(text.replace('""', '"').replace("\\n", "\n"))
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

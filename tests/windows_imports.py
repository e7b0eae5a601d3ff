#!/usr/bin/env python3
"""The Windows programs import only DLLs that every Windows has: nothing of libstdc++, libgcc,
winpthread, curl, expat, pugixml, libxml2 or libxslt is left to a DLL the tester would have to
bring.

    windows_imports.py PROGRAM.exe...
"""

import re
import subprocess
import sys

# Windows' own: the kernel, the C run-time, sockets, crypto and authentication.
ALLOWED = {"kernel32.dll", "advapi32.dll", "ws2_32.dll", "crypt32.dll", "bcrypt.dll",
           "secur32.dll", "msvcrt.dll", "user32.dll", "shell32.dll", "iphlpapi.dll",
           "normaliz.dll", "wldap32.dll", "ole32.dll", "rpcrt4.dll", "ntdll.dll"}


def foreign_imports(program):
    """The DLLs `program` imports that not every Windows has; None when none could be read."""
    dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", program], check=True,
                          capture_output=True, text=True).stdout
    imported = {name.lower() for name in re.findall(r"DLL Name: (\S+)", dump)}
    print(f"{program} imports: {', '.join(sorted(imported))}")
    if not imported:
        return None
    # The universal C run-time, api-ms-win-crt-*, is Windows' own too.
    return sorted(name for name in imported
                  if name not in ALLOWED and not name.startswith("api-ms-win-"))


def main():
    failures = []
    for program in sys.argv[1:]:
        foreign = foreign_imports(program)
        if foreign is None or foreign:
            failures.append(f"{program}: {', '.join(foreign or []) or 'none read'}")
    if not sys.argv[1:] or failures:
        sys.exit("imports DLLs that not every Windows has: " + "; ".join(failures))


if __name__ == "__main__":
    main()

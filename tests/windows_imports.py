#!/usr/bin/env python3
"""The Windows program imports only DLLs that every Windows has: nothing of libstdc++, libgcc,
winpthread, curl, expat or pugixml is left to a DLL the tester would have to bring.

    windows_imports.py PROGRAM.exe
"""

import re
import subprocess
import sys

# Windows' own: the kernel, the C run-time, sockets, crypto and authentication.
ALLOWED = {"kernel32.dll", "advapi32.dll", "ws2_32.dll", "crypt32.dll", "bcrypt.dll",
           "secur32.dll", "msvcrt.dll", "user32.dll", "shell32.dll", "iphlpapi.dll",
           "normaliz.dll", "wldap32.dll", "ole32.dll", "rpcrt4.dll", "ntdll.dll"}


def main():
    dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", sys.argv[1]], check=True,
                          capture_output=True, text=True).stdout
    imported = {name.lower() for name in re.findall(r"DLL Name: (\S+)", dump)}
    # The universal C run-time, api-ms-win-crt-*, is Windows' own too.
    foreign = sorted(name for name in imported
                     if name not in ALLOWED and not name.startswith("api-ms-win-"))
    print(f"imports: {', '.join(sorted(imported))}")
    if not imported or foreign:
        sys.exit(f"imports DLLs that not every Windows has: {', '.join(foreign) or 'none read'}")


if __name__ == "__main__":
    main()

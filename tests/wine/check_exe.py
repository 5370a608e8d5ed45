#!/usr/bin/env python3
"""What VESKAL.exe is as a file: a 32-bit GUI program that needs only system
DLLs, within its size, with its icon, manifest and French version
information, and with no readable setting name."""

import re
import subprocess
import sys

LIMIT = 192 * 1024
SYSTEM_DLLS = {"KERNEL32.dll", "USER32.dll", "ADVAPI32.dll", "msvcrt.dll"}


def main(exe, objdump):
    failures = []

    def check(what, ok, detail=""):
        print("%s %s %s" % ("ok  " if ok else "FAIL", what, detail))
        if not ok:
            failures.append(what)

    data = open(exe, "rb").read()
    headers = subprocess.run([objdump, "-p", exe], capture_output=True, text=True).stdout
    check("PE32 for i386", "file format pei-i386" in subprocess.run(
        [objdump, "-f", exe], capture_output=True, text=True).stdout and
        re.search(r"Magic\s+010b", headers) is not None)
    check("GUI subsystem", re.search(r"Subsystem\s+00000002", headers) is not None)
    dlls = set(re.findall(r"DLL Name: (\S+)", headers))
    check("imports only system DLLs", dlls <= SYSTEM_DLLS, str(sorted(dlls)))
    check("no timestamp in the PE header", re.search(r"Time/Date\s+Thu Jan  1 00:00:00 1970", headers)
          is not None or re.search(r"Time/Date\s+0\b", headers) is not None)
    check("at most 192 KiB", len(data) <= LIMIT, "(%d bytes)" % len(data))
    for name in (b"NoFavoritesMenu", b"Policies", b"CurrentVersion"):
        check("no readable %s" % name.decode(), name not in data and
              name.decode().encode("utf-16-le") not in data)

    listing = subprocess.run(["wrestool", "-l", exe], capture_output=True, text=True).stdout
    check("icon group MAINICON", re.search(r"--type=14 --name='MAINICON'", listing) is not None)
    icons = re.findall(r"--type=3 ", listing)
    check("six icon images (16, 32, 48 px; 256 colours and 32-bit)", len(icons) == 6,
          str(len(icons)))
    check("manifest", re.search(r"--type=24 ", listing) is not None)
    check("resources in French", re.search(r"--type=16 --name=1 --language=1036 ", listing)
          is not None)
    version = subprocess.run(["wrestool", "-x", "--raw", "--type=16", exe], capture_output=True).stdout
    strings = {
        "FileDescription": "Option Favoris pour menu Démarrer",
        "FileVersion": "1.0.0.0", "ProductVersion": "1.0.0.0",
        "InternalName": "VESKAL", "ProductName": "VESKAL",
        "OriginalFilename": "VESKAL.exe",
    }
    for key, value in strings.items():
        pattern = (key + "\0").encode("utf-16-le")
        at = version.find(pattern)
        # The value follows its key, aligned to 32 bits.
        ok = at >= 0 and (value + "\0").encode("utf-16-le") in version[at:at + 16 + len(pattern) + 2 * len(value) + 4]
        check("version string %s = %s" % (key, value), ok)
    check("French, code page 1252", "040C04E4".encode("utf-16-le") in version and
          b"\x0c\x04\xe4\x04" in version)
    check("fixed file version 1.0.0.0", b"\xbd\x04\xef\xfe" in version and
          version[version.find(b"\xbd\x04\xef\xfe") + 8:][:8] == b"\x00\x00\x01\x00\x00\x00\x00\x00")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2] if len(sys.argv) > 2 else "i686-w64-mingw32-objdump"))

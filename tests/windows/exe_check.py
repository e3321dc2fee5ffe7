#!/usr/bin/env python3
"""Checks that zelvora.exe is one self-contained Windows GUI program: it imports only Windows' own DLLs and
carries its version information and its manifest."""

import argparse
import re
import subprocess
import sys
from pathlib import Path

# DLLs that every Windows 10/11 has; anything else (libstdc++, libgcc, winpthread, ...) would have to be shipped.
WINDOWS_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "comdlg32.dll", "comctl32.dll", "advapi32.dll",
                "shell32.dll", "ole32.dll", "msvcrt.dll", "ucrtbase.dll", "bcrypt.dll", "ws2_32.dll"}


def problems(exe, objdump, windres, manifest, version):
    headers = subprocess.run([objdump, "-p", exe], capture_output=True, text=True, check=True).stdout
    imports = {name.lower() for name in re.findall(r"DLL Name: (\S+)", headers)}
    if not imports:
        yield "no imported DLL found: not a PE program?"
    for name in sorted(imports - WINDOWS_DLLS):
        if not name.startswith("api-ms-win-"):
            yield f"imports {name}, which a plain Windows does not have"
    if "(Windows GUI)" not in headers:
        yield "not a GUI subsystem program (a console window would open)"

    # windres reads the resource section back as resource script text, or fails when there is none.
    resources = subprocess.run([windres, "-J", "coff", "-O", "rc", "-i", exe], capture_output=True,
                               text=True).stdout
    expected_values = {"ProductName": "Zelvora", "FileVersion": version, "ProductVersion": version,
                       "OriginalFilename": "zelvora.exe"}
    for key, value in expected_values.items():
        if f'VALUE "{key}", "{value}"' not in resources:
            yield f'version information lacks {key} "{value}"'
    if not re.search(r'VALUE "FileDescription", "[^"]+"', resources):
        yield "version information lacks a FileDescription"
    if "1 24 /* RT_MANIFEST */" not in resources or manifest.read_bytes() not in exe.read_bytes():
        yield f"{manifest.name} is not embedded as the application manifest"


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--windres", required=True)
    parser.add_argument("--manifest", type=Path, required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("exe", type=Path)
    args = parser.parse_args()
    found = list(problems(args.exe, args.objdump, args.windres, args.manifest, args.version))
    for problem in found:
        print(f"FAIL: {args.exe.name} {problem}")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Checks that zelvora.exe is one self-contained Windows GUI program: it imports only Windows' own DLLs and
carries its version information (with the copyright and licence of LICENSE), its manifest and its icon."""

import argparse
import re
import struct
import subprocess
import sys
import tempfile
from pathlib import Path

# DLLs that every Windows 10/11 has; anything else (libstdc++, libgcc, winpthread, ...) would have to be shipped.
WINDOWS_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "comdlg32.dll", "comctl32.dll", "advapi32.dll",
                "shell32.dll", "ole32.dll", "msvcrt.dll", "ucrtbase.dll", "bcrypt.dll", "ws2_32.dll"}


RT_ICON = 3
RT_GROUP_ICON = 14
ICON_SIZES = {16, 32, 48, 256}


def resources_of(exe, windres):
    """{(type, name): data} of the exe's resources with numeric type and name, read from windres' .res
    form: each entry is two sizes, type and name (0xFFFF and a number, or a string), the rest of the header,
    then the data, each part aligned to four bytes."""
    with tempfile.TemporaryDirectory() as folder:
        res = Path(folder) / "exe.res"
        # windres fails on a program without resources: then there are none.
        done = subprocess.run([windres, "-J", "coff", "-O", "res", "-i", str(exe), "-o", str(res)],
                              capture_output=True)
        data = res.read_bytes() if done.returncode == 0 and res.exists() else b""

    def name_at(offset):
        if struct.unpack_from("<H", data, offset)[0] == 0xFFFF:
            return struct.unpack_from("<H", data, offset + 2)[0], offset + 4
        end = offset
        while struct.unpack_from("<H", data, end)[0] != 0:
            end += 2
        return data[offset:end].decode("utf-16-le"), end + 2

    found = {}
    offset = 0
    while offset + 8 <= len(data):
        data_size, header_size = struct.unpack_from("<II", data, offset)
        kind, after = name_at(offset + 8)
        name, _ = name_at(after)
        found[(kind, name)] = data[offset + header_size:offset + header_size + data_size]
        offset = (offset + header_size + data_size + 3) & ~3
    return found


def icon_images(ico):
    """{size: image bytes} of an .ico file (ICONDIR, then 16-byte entries; a width of 0 means 256)."""
    count = struct.unpack_from("<HHH", ico, 0)[2]
    images = {}
    for i in range(count):
        width, _, _, _, _, _, length, offset = struct.unpack_from("<BBBBHHII", ico, 6 + 16 * i)
        images[width or 256] = ico[offset:offset + length]
    return images


def icon_problems(exe, windres, icon):
    """The program's first icon group must hold every size of the committed icon, each image unchanged."""
    resources = resources_of(exe, windres)
    groups = sorted((name, data) for (kind, name), data in resources.items()
                    if kind == RT_GROUP_ICON and isinstance(name, int))
    if not groups:
        yield "has no icon"
        return
    group = groups[0][1]
    count = struct.unpack_from("<HHH", group, 0)[2]
    embedded = {}
    for i in range(count):
        width, _, _, _, _, _, length, image_id = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
        embedded[width or 256] = resources.get((RT_ICON, image_id), b"")
    if set(embedded) != ICON_SIZES:
        yield f"icon sizes {sorted(embedded)}, expected {sorted(ICON_SIZES)}"
    for size, image in icon_images(icon.read_bytes()).items():
        if embedded.get(size) != image:
            yield f"the {size} pixel icon image is not the one of {icon.name}"


def legal_text(license_file):
    """The copyright line and licence name of LICENSE, as the version information must carry them."""
    lines = [line.strip() for line in license_file.read_text().splitlines() if line.strip()]
    copyright_line = next(line for line in lines if line.startswith("Copyright"))
    return f"{copyright_line}; {lines[0]}"


def problems(exe, objdump, windres, manifest, version, icon, license_file):
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
                       "OriginalFilename": "zelvora.exe", "LegalCopyright": legal_text(license_file)}
    for key, value in expected_values.items():
        if f'VALUE "{key}", "{value}"' not in resources:
            yield f'version information lacks {key} "{value}"'
    if not re.search(r'VALUE "FileDescription", "[^"]+"', resources):
        yield "version information lacks a FileDescription"
    if "1 24 /* RT_MANIFEST */" not in resources or manifest.read_bytes() not in exe.read_bytes():
        yield f"{manifest.name} is not embedded as the application manifest"
    yield from icon_problems(exe, windres, icon)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--windres", required=True)
    parser.add_argument("--manifest", type=Path, required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--icon", type=Path, required=True, help="the .ico file the exe must carry")
    parser.add_argument("--license", type=Path, required=True, help="LICENSE, whose copyright the exe names")
    parser.add_argument("exe", type=Path)
    args = parser.parse_args()
    found = list(problems(args.exe, args.objdump, args.windres, args.manifest, args.version, args.icon,
                          args.license))
    for problem in found:
        print(f"FAIL: {args.exe.name} {problem}")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())

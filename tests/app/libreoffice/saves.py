#!/usr/bin/env python3
"""Saves declaration.fods with LibreOffice as CSV in the ways users do and converts each save with zelvora:
every save must give the declaration of declaration-clean.csv, the same sheet written by hand as a plain
';' UTF-8 file (the remark's line break as a blank). Skips where soffice is missing, except under CI=true.

usage: saves.py ZELVORA"""
import os
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

HERE = Path(__file__).resolve().parent
SKIPPED = 77  # ctest's SKIP_RETURN_CODE for this test

# LibreOffice's CSV filter options: field separator and text delimiter as character codes, then the
# charset (76 UTF-8, 33 Windows-1250, 13 ISO-8859-2), the first line, the cell format, the language,
# "quote all text cells", "detect special numbers" and "save cell content as shown".
SAVES = [
    ("comma-utf8", "44,34,76,1,,0,false,true,true"),
    ("semicolon-windows1250", "59,34,33,1,,0,false,true,true"),
    ("comma-iso88592", "44,34,13,1,,0,false,true,true"),
    ("tab-utf8", "9,34,76,1,,0,false,true,true"),
    ("semicolon-utf8-values-not-as-shown", "59,34,76,1,,0,false,true,false"),
]


def convert(zelvora, csv):
    """zelvora's exit status and the bytes of the file it kept."""
    status = subprocess.run([zelvora, "--quiet", str(csv)], capture_output=True).returncode
    kept = csv.with_name(csv.stem + ("-output.csv" if status == 0 else "-error.txt"))
    return status, kept.read_bytes() if kept.exists() else b""


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    zelvora = sys.argv[1]
    soffice = shutil.which("soffice")
    if soffice is None:
        if os.environ.get("CI") == "true":
            print("FAILED: soffice (LibreOffice) is not installed, and CI must check real spreadsheet saves")
            return 1
        print("SKIPPED: soffice (LibreOffice) is not installed; install libreoffice-calc-nogui to check "
              "how the saves of a real spreadsheet convert")
        return SKIPPED
    failures = 0
    with tempfile.TemporaryDirectory(prefix="zelvora-libreoffice-") as tmp:
        tmp = Path(tmp)
        clean = tmp / "clean.csv"
        shutil.copyfile(HERE / "declaration-clean.csv", clean)
        status, expected = convert(zelvora, clean)
        if status != 0:
            print("FAILED: the clean file does not convert:\n" + expected.decode("iso-8859-2"))
            return 1
        # A profile of its own, and a home of its own for whatever soffice writes beside it.
        env = dict(os.environ, HOME=str(tmp))
        profile = (tmp / "profile").as_uri()
        for name, options in SAVES:
            folder = tmp / name
            done = subprocess.run(
                [soffice, "--headless", "--norestore", "-env:UserInstallation=" + profile, "--convert-to",
                 "csv:Text - txt - csv (StarCalc):" + options, "--outdir", str(folder),
                 str(HERE / "declaration.fods")],
                env=env, capture_output=True, timeout=240)
            saved = folder / "declaration.csv"
            if done.returncode != 0 or not saved.exists():
                print(f"FAILED {name}: LibreOffice did not save the sheet\n{done.stderr.decode(errors='replace')}")
                failures += 1
                continue
            status, kept = convert(zelvora, saved)
            if status != 0 or kept != expected:
                print(f"FAILED {name} ({options}): exit status {status}; the save\n"
                      + saved.read_bytes().decode("latin-1")
                      + "gave\n" + kept.decode("iso-8859-2") + "instead of\n" + expected.decode("iso-8859-2"))
                failures += 1
            else:
                print(f"ok {name}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

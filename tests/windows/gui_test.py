#!/usr/bin/env python3
"""End-to-end test of zelvora.exe as a user meets it: under Wine on a virtual X display, through the
open-file dialog (or with paths given to the program, as a dropped file gives them), the window that says
it waits for another run and the closing message boxes, then the exit status and the files left beside the
input. With --shots, the dialog and the message
boxes are also saved as small PNGs for the user guide."""

import argparse
import os
import re
import select
import shutil
import subprocess
import sys
import time
from dataclasses import dataclass
from pathlib import Path
from typing import Optional

HERE = Path(__file__).resolve().parent

# Bounded waits, in seconds: a window that never comes fails the case instead of hanging it.
DISPLAY_WAIT = 15
DIALOG_WAIT = 90  # the first start of Wine in a fresh session is slow
MESSAGE_WAIT = 60
EXIT_WAIT = 30
WINESERVER_WAIT = 30

SUCCESS_TEXT = "A feldolgozás sikeres, az eredmény: {0}\nProcessing successful, result in {0}"
ERRORS_TEXT = "A feldolgozás során hibákat találtunk, lásd: {0}\nErrors found during processing, see: {0}"
WAITING_TEXT = ("Várakozás egy másik átalakításra ugyanebben a mappában...\n"
                "Waiting for another conversion in the same folder...")
SAME_NAMES_TEXT = ("Két fájl eredménye ugyanazt a nevet kapná, nevezze át az egyiket: {0} és {1}\n"
                   "Two files would give results of the same name, rename one of them: {0} and {1}")

# What june.csv must become; written by the program as ISO-8859-2 with CR LF line ends.
JUNE_OUTPUT = """\
{fejezet;sorrend}
0;1

{MC01;M003_G;M003;MEV;MHO;JHNEV;JBEOSZTAS;JTELEFON;JEMAIL;KNEV;KBEOSZTAS;KTELEFON;KEMAIL;MEGJEGYZES;VGEA002}
2010;12345678;12345678;21;06;Kovács Éva;könyvelő;+36 1 234 5678;eva@pelda.hu;Szőke Ödön;ügyvezető;\
+36 1 234 5679;odon@pelda.hu;Árvíztűrő tükörfúrógép;42

{fejezet;sorrend}
1;1

{T_SORSZ;TEKOD;UKOD;RTA;SZAORSZ;KGM;KIEGME;SZAOSSZ;STAERT;PADO}
00001;08471300;11;DE;CN;3;;150;170;DE123456789
00002;85171200;01;AT;CN;0.250;2;20;20;ATU12345678
"""

# The report on errors.csv: its line 1 is a comment and line 5 is blank, and both still count.
ERRORS_REPORT = """\
3. sor / line 3
 M003_G és M003 az adatszolgáltató törzsszáma legyen (8 számjegy)
M003_G and M003 must be the data provider's VAT number (8 digits)

6. sor / line 6
 Érvénytelen szám; kérjük, ne használjon ezres elválasztót.
Invalid number, please do not use thousands separators.

"""


@dataclass(frozen=True)
class Run:
    fixture: str  # file in this folder that the user picks or gives
    input: str  # where it is put, relative to the case's folder (drive D: in Windows)
    kept: Optional[str]  # the one file the run must add beside the input, None for no file at all
    kept_text: str  # its content as text, before ISO-8859-2 and CR LF
    message: Optional[str]  # closing message pattern, "{0}" being the Windows path of the kept file
    icon: Optional[str]  # the message box icon: "information" or "error"


@dataclass(frozen=True)
class Case:
    runs: tuple  # one Run per file, in order
    status: int
    given: bool = False  # the paths are given to the program; else the first file is picked in the dialog
    refused: Optional[str] = None  # one error box refuses the given files, "{0}" and "{1}" the first two
    waiting: bool = False  # another run holds the folder's lock until the waiting window has been read


JUNE = Run("june.csv", "june.csv", "june-output.csv", JUNE_OUTPUT, SUCCESS_TEXT, "information")
ERRORS = Run("errors.csv", "errors.csv", "errors-error.txt", ERRORS_REPORT, ERRORS_TEXT, "error")

CASES = {
    "success": Case((JUNE,), 0),
    "errors": Case((ERRORS,), 1),
    "cancel": Case((Run("june.csv", "june.csv", None, "", None, None),), 0),
    # ő and ű stand where a Western code page has other letters: the message box must still show them.
    "hungarian-path": Case((Run("june.csv", "Adatok 2021/június első.csv", "Adatok 2021/június első-output.csv",
                                JUNE_OUTPUT, SUCCESS_TEXT, "information"),), 0),
    # A dropped file whose path holds letters that ISO-8859-2 lacks (an en dash, a Greek capital): the message
    # box shows the path's own characters, not '?'.
    "foreign-letter-path": Case((Run("june.csv", "Adatok 2021/április–június Ωmega.csv",
                                     "Adatok 2021/április–június Ωmega-output.csv", JUNE_OUTPUT, SUCCESS_TEXT,
                                     "information"),), 0, given=True),
    # Two files dropped on the program: no dialog, one box each, in order; one had errors, so the status is 1.
    "given-paths": Case((Run("june.csv", "Adatok 2021/június.csv", "Adatok 2021/június-output.csv", JUNE_OUTPUT,
                             SUCCESS_TEXT, "information"), ERRORS), 1, given=True),
    # Dropped together, june.csv and June.txt would share their results: refused before either is converted.
    "colliding-paths": Case((Run("june.csv", "june.csv", None, "", None, None),
                             Run("errors.csv", "June.txt", None, "", None, None)), 1, given=True,
                            refused=SAME_NAMES_TEXT),
    # Another run holds the folder's lock: after a second a window says that the run waits, the run goes on
    # waiting while it shows, and once the lock is let go the window closes and the run goes through.
    "waiting": Case((JUNE,), 0, given=True, waiting=True),
}

# Which screenshot of which case the user guide shows, under --shots.
GUIDE_SHOTS = {("success", "dialog"): "dialog.png", ("success", "message"): "message-success.png",
               ("errors", "message"): "message-errors.png"}


class Failure(Exception):
    pass


def windows_bytes(text):
    return text.replace("\n", "\r\n").encode("iso8859_2")


class Session:
    """One Xvfb display and the Wine processes of one case; everything started here is stopped here."""

    def __init__(self, args, work):
        self.args = args
        self.work = work
        self.xvfb = None
        self.program = None
        self.holder = None
        self.env = dict(os.environ)
        for name in ("WINEDEBUG", "WINEARCH", "DISPLAY", "WAYLAND_DISPLAY", "LANGUAGE"):
            self.env.pop(name, None)
        self.env.update(WINEPREFIX=str(args.wineprefix), WINEDEBUG="-all", LC_ALL="C.UTF-8",
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        self.shot_count = 0
        self.logs = []

    def log(self, name):
        self.logs.append(open(self.work / name, "wb"))
        return self.logs[-1]

    def start_display(self):
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=self.log("xvfb.log"))
        os.close(write_end)
        # Xvfb writes the number and the line feed separately, and dies if the pipe is closed in between.
        answer = b""
        deadline = time.monotonic() + DISPLAY_WAIT
        while not answer.endswith(b"\n") and time.monotonic() < deadline:
            ready, _, _ = select.select([read_end], [], [], max(0.0, deadline - time.monotonic()))
            chunk = os.read(read_end, 32) if ready else b""
            if not chunk:
                break
            answer += chunk
        os.close(read_end)
        number = answer.decode().strip() if answer.endswith(b"\n") else ""
        if not number:
            raise Failure(f"Xvfb gave no display within {DISPLAY_WAIT} s (see {self.work / 'xvfb.log'})")
        self.env["DISPLAY"] = ":" + number

    def run(self, command, timeout=20, check=True):
        result = subprocess.run(command, env=self.env, capture_output=True, timeout=timeout)
        if check and result.returncode != 0:
            raise Failure(f"{' '.join(map(str, command))} failed: {result.stderr.decode(errors='replace')}")
        return result

    def start_program(self, arguments=()):
        # Started in the files' folder, drive D:, which the dialog then opens on.
        self.program = subprocess.Popen(["wine", str(self.args.exe), *arguments], env=self.env,
                                        cwd=self.work / "files",
                                        stdout=self.log("wine.log"), stderr=subprocess.STDOUT)

    def hold_lock(self):
        """Holds the lock of the files' folder, as another run would, until release_lock()."""
        self.holder = subprocess.Popen(["wine", str(self.args.hold_lock), "D:"], env=self.env,
                                       stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=self.log("holder.log"))
        ready, _, _ = select.select([self.holder.stdout], [], [], DIALOG_WAIT)
        line = self.holder.stdout.readline() if ready else b""
        if line.strip() != b"held":
            raise Failure(f"the folder's lock could not be held (see {self.work / 'holder.log'})")

    def release_lock(self):
        self.holder.stdin.close()
        self.holder.wait(EXIT_WAIT)

    def map_drive(self, folder):
        """Makes `folder` drive D:, so paths read as a user's would and no path of this machine shows."""
        drive = self.args.wineprefix / "dosdevices" / "d:"
        if drive.is_symlink() or drive.exists():
            drive.unlink()
        drive.symlink_to(folder)

    @staticmethod
    def windows_path(relative):
        return "D:\\" + relative.replace("/", "\\")

    def wait_window(self, title, timeout, what):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            found = self.run(["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"], check=False)
            ids = found.stdout.split()
            if ids:
                time.sleep(0.5)  # let it finish painting before a screenshot or a key
                return ids[0].decode()
            if self.program.poll() is not None:
                raise Failure(f"zelvora.exe ended with status {self.program.returncode} before {what} appeared")
            time.sleep(0.25)
        self.screenshot("timeout")
        raise Failure(f"{what} (a window named '{title}') did not appear within {timeout} s")

    def press(self, window, *keys):
        self.run(["xdotool", "windowfocus", "--sync", window])
        self.run(["xdotool", "key", "--clearmodifiers", *keys])

    def type_path(self, dialog, path):
        """Types the path into the file name box and reads it back: xdotool types a letter missing from the
        keyboard map (ú) by remapping a key for a moment, which a busy Wine can read under the old map."""
        shown = ""
        for _ in range(3):
            self.run(["xdotool", "windowfocus", "--sync", dialog])
            self.run(["xdotool", "key", "--clearmodifiers", "End", "shift+Home", "BackSpace"])
            self.run(["xdotool", "type", "--delay", "30", path], timeout=60)
            shown = self.window_text("Open", "Edit")
            if shown == path:
                return
            time.sleep(1)
        raise Failure(f"the file name box reads {shown!r} after typing {path!r} three times")

    def screenshot(self, name, window=None):
        self.shot_count += 1
        path = self.work / f"{self.shot_count}-{name}.png"
        self.run(["import", "-window", "root", str(path)], check=False)
        guide_name = GUIDE_SHOTS.get((self.args.case, name))
        if self.args.shots and guide_name and window:
            # The window alone, in few colours and without metadata: a small file that changes only
            # when the picture does.
            self.run(["import", "-window", window, "-strip", "-colors", "64", "-define",
                      "png:exclude-chunks=date,time", f"PNG8:{self.args.shots / guide_name}"])
        return path

    def wait_gone(self, window, timeout, what):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            shown = self.run(["xdotool", "search", "--onlyvisible", "--name", "^Zelvora$"], check=False)
            if window.encode() not in shown.stdout.split():
                return
            time.sleep(0.25)
        raise Failure(f"{what} was still open {timeout} s after it was confirmed")

    def wait_text_gone(self, text, timeout, what):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if text not in self.window_texts("Zelvora", "Static"):
                return
            time.sleep(0.25)
        self.screenshot("still-waiting")
        raise Failure(f"{what} was still open {timeout} s after the lock was let go")

    def window_texts(self, caption, control_class):
        """The texts of every window shown with the caption, whatever its class."""
        result = self.run(["wine", str(self.args.window_text), caption, control_class, "--every"])
        return result.stdout.decode("utf-8").split("\0")[:-1]

    def window_text(self, caption, control_class):
        result = self.run(["wine", str(self.args.window_text), caption, control_class], check=False)
        if result.returncode != 0:
            raise Failure(f"the window captioned '{caption}' has no {control_class} control whose text could be read")
        return result.stdout.decode("utf-8")

    def message_box_icon(self, window):
        """Tells the information icon (blue, no red) from the error icon (red) by the colours where the icon
        stands: the left of the box, below its caption bar."""
        path = self.work / "icon.png"
        self.run(["import", "-window", window, "-crop", "60x70+0+24", "+repage", str(path)])
        histogram = self.run(["convert", str(path), "-format", "%c", "histogram:info:-"]).stdout.decode()
        red = blue = 0
        for count, r, g, b in re.findall(r"(\d+):\s*\(\s*(\d+),\s*(\d+),\s*(\d+)", histogram):
            count, r, g, b = int(count), int(r), int(g), int(b)
            red += count if r >= 160 and g <= 90 and b <= 90 else 0
            blue += count if b >= 150 and b - r >= 60 else 0
        if red >= 50:
            return "error"
        if blue >= 50 and red == 0:
            return "information"
        return f"neither (red {red}, blue {blue} pixels; see {path})"

    def wait_exit(self):
        try:
            return self.program.wait(EXIT_WAIT)
        except subprocess.TimeoutExpired:
            self.screenshot("still-running")
            raise Failure(f"zelvora.exe did not end within {EXIT_WAIT} s of its last window")

    def close(self):
        if self.holder is not None and self.holder.poll() is None:
            self.holder.kill()
            self.holder.wait(EXIT_WAIT)
        if self.program is not None and self.program.poll() is None:
            self.run(["wineserver", "-k"], check=False)
            self.program.wait(EXIT_WAIT)
        # The next case starts a new display, so this prefix's Wine session must end with this one.
        try:
            self.run(["wineserver", "-w"], timeout=WINESERVER_WAIT, check=False)
        except subprocess.TimeoutExpired:
            self.run(["wineserver", "-k"], check=False)
        if self.xvfb is not None:
            self.xvfb.terminate()
            self.xvfb.wait(DISPLAY_WAIT)
        for log in self.logs:
            log.close()


def files_below(folder):
    return sorted(str(p.relative_to(folder)) for p in folder.rglob("*") if p.is_file())


def run_case(args, case):
    work = args.work
    shutil.rmtree(work, ignore_errors=True)
    files = work / "files"
    for run in case.runs:
        given = files / run.input
        given.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(HERE / run.fixture, given)

    session = Session(args, work)
    try:
        session.map_drive(files)
        session.start_display()
        if case.waiting:
            session.hold_lock()
        if case.given:
            session.start_program([session.windows_path(run.input) for run in case.runs])
        else:
            session.start_program()
            dialog = session.wait_window("Open", DIALOG_WAIT, "the open-file dialog")
            session.screenshot("dialog", dialog)
            if case.runs[0].message is None:
                session.press(dialog, "Escape")
            else:
                # The file name box has the focus when the dialog opens; the path is typed as a user would.
                session.type_path(dialog, session.windows_path(case.runs[0].input))
                session.screenshot("path-typed")
                session.press(dialog, "Return")
        if case.waiting:
            window = session.wait_window("Zelvora", DIALOG_WAIT, "the window that says the run waits")
            print("screenshot:", session.screenshot("waiting", window))
            shown = session.window_texts("Zelvora", "Static")
            if shown != [WAITING_TEXT]:
                raise Failure(f"the windows captioned Zelvora read\n{shown!r}\ninstead of\n{[WAITING_TEXT]!r}")
            if session.program.poll() is not None:
                raise Failure("zelvora.exe ended while the lock was held")
            session.release_lock()
            # By its text: the closing box that follows may get the same X window id.
            session.wait_text_gone(WAITING_TEXT, MESSAGE_WAIT, "the waiting window")
        if case.refused:
            box = session.wait_window("Zelvora", DIALOG_WAIT, "the box that refuses the files")
            print("screenshot:", session.screenshot("message", box))
            shown = session.window_text("Zelvora", "Static")
            expected = case.refused.format(*(session.windows_path(run.input) for run in case.runs))
            if shown != expected:
                raise Failure(f"the message box reads\n{shown!r}\ninstead of\n{expected!r}")
            if session.message_box_icon(box) != "error":
                raise Failure("the box that refuses the files shows no error icon")
            session.press(box, "Return")
            session.wait_gone(box, MESSAGE_WAIT, "the box that refuses the files")
        for run in case.runs:
            if run.message is None:
                continue
            box = session.wait_window("Zelvora", DIALOG_WAIT if case.given else MESSAGE_WAIT,
                                      f"the closing message box of {run.input}")
            print("screenshot:", session.screenshot("message", box))
            shown = session.window_text("Zelvora", "Static")
            expected = run.message.format(session.windows_path(run.kept))
            if shown != expected:
                raise Failure(f"the message box reads\n{shown!r}\ninstead of\n{expected!r}")
            icon = session.message_box_icon(box)
            if icon != run.icon:
                raise Failure(f"the message box shows the {icon} icon instead of the {run.icon} icon")
            session.press(box, "Return")
            session.wait_gone(box, MESSAGE_WAIT, f"the message box of {run.input}")
        status = session.wait_exit()
    finally:
        session.close()

    if status != case.status:
        raise Failure(f"exit status {status}, expected {case.status}")
    expected_files = sorted([run.input for run in case.runs] + [run.kept for run in case.runs if run.kept])
    if files_below(files) != expected_files:
        raise Failure(f"files left {files_below(files)}, expected {expected_files}")
    for run in case.runs:
        if (files / run.input).read_bytes() != (HERE / run.fixture).read_bytes():
            raise Failure(f"{run.input} was changed")
        if run.kept:
            kept = (files / run.kept).read_bytes()
            expected = windows_bytes(run.kept_text)
            if kept != expected:
                raise Failure(f"{run.kept} holds\n{kept!r}\ninstead of\n{expected!r}")


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--exe", type=Path, required=True, help="zelvora.exe")
    parser.add_argument("--window-text", type=Path, required=True, help="the helper that reads a window's text")
    parser.add_argument("--hold-lock", type=Path, help="the helper that holds a folder's lock (case waiting)")
    parser.add_argument("--wineprefix", type=Path, required=True)
    parser.add_argument("--work", type=Path, required=True, help="folder for the case's files and screenshots")
    parser.add_argument("--shots", type=Path, help="folder for the user guide's screenshots of this case")
    parser.add_argument("case", choices=sorted(CASES))
    args = parser.parse_args()
    for tool, package in (("Xvfb", "xvfb"), ("xdotool", "xdotool"), ("import", "imagemagick"),
                          ("convert", "imagemagick"), ("wine", "wine")):
        if shutil.which(tool) is None:
            print(f"FAIL: {tool} is missing (install the {package} package)")
            return 1
    if CASES[args.case].waiting and args.hold_lock is None:
        parser.error(f"the case {args.case} needs --hold-lock")
    for name in ("exe", "window_text", "hold_lock", "wineprefix", "work", "shots"):
        if getattr(args, name) is not None:
            setattr(args, name, getattr(args, name).resolve())
    try:
        run_case(args, CASES[args.case])
    except (Failure, subprocess.TimeoutExpired) as failure:
        print(f"FAIL ({args.case}): {failure}\nscreenshots and logs: {args.work}")
        wine_log = args.work / "wine.log"
        if wine_log.exists():
            print("end of wine.log:\n" + "\n".join(wine_log.read_text(errors="replace").splitlines()[-20:]))
        return 1
    print(f"ok ({args.case}); screenshots in {args.work}")
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""The window, driven from another process under Xvfb and Wine: the test build with scripted runs
at 96 and 144 DPI, and the real vesk-check.exe against lab servers.

    python3 tests/gui/gui_suite.py [--build-dir DIR] [--only TEXT] [--keep] [--soak]

Run as root (lab namespaces). Needs Xvfb, the WenQuanYi Micro Hei font and ImageMagick, besides
what the lab needs for the Windows build. Each phase starts Wine (in a namespace of its own, with
a private prefix: Chinese font replacements, a virtual desktop, the phase's DPI) and runs
tests/gui/vesk-window-driver.exe with the phase's cases; a line per case, then
`gui-windows: N passed, M failed`. Screenshots land in BUILD/gui-screenshots/ as PNG files.
`--soak` runs the soak's phases instead (scripts/soak-window) and prints their figures.

The virtual desktop matters: without a window manager, Wine's X11 driver waits two seconds for
every top-level window it destroys, which would hide how fast the window really closes.
"""
import argparse
import os
import re
import subprocess
import sys
import traceback
from dataclasses import dataclass
from pathlib import Path

sys.dont_write_bytecode = True   # no __pycache__ in the source tree
HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent / "lab"))

from vesklab.lab import BOTH, TOP, Lab, ServerSetup, route  # noqa: E402
from vesklab.suite import Interrupted, Results, SignalGuard, Verdict, selected  # noqa: E402
from vesklab.wine import windows_path  # noqa: E402
from runlab.scenarios import MANIFEST, published_routes  # noqa: E402
from runlab.texts import ADVICE  # noqa: E402

DRIVER = "tests/gui/vesk-window-driver"
SCRIPTED = "tests/gui/vesk-check-fakerun"
PROGRAM = "app/vesk-check"
DRIVER_TIMEOUT = 600
SCREEN = "1280x1024"
CHINESE_FONT = "WenQuanYi Micro Hei"
# The program's own face, and the faces Wine's window captions and dialogs link to for Chinese.
FONT_REPLACEMENTS = ("Microsoft YaHei", "Microsoft YaHei UI", "SimSun")

# The advice of the lab's own table that each real-program case expects.
REAL_ADVICE = {"real-ok": ADVICE["all ok"], "real-refused": ADVICE["no connection"]}

SCRIPTED_CASES = (
    "in-progress-then-finished", "window-and-controls", "layout-and-font",
    "tab-moves-among-tab-stops", "clock-button-comes-and-goes", "run-that-throws",
    "run-without-report", "stray-run-finished-message", "close-during-run",
    "close-in-each-phase-of-a-run", "run-ends-while-the-loader-is-busy", "close-when-idle",
    "copy-report", "copy-while-clipboard-busy", "save-report", "save-cancelled", "time-settings",
    "time-settings-unavailable", "commands-while-a-dialog-is-open")


@dataclass(frozen=True)
class Phase:
    name: str
    dpi: int
    cases: tuple
    addresses: tuple = ()
    server: ServerSetup = None


def phases():
    published = published_routes()
    # The manifest arrives over two seconds per mode, so the run is seen in progress.
    slow = {**published, "/manifest.json": route(200, MANIFEST,
                                                 trickle={"bytes": 10, "interval": 0.1})}
    return [
        Phase("scripted, 96 dpi", 96, SCRIPTED_CASES),
        Phase("scripted, 144 dpi", 144, SCRIPTED_CASES),
        Phase("lab ok, 96 dpi", 96, ("program-resources", "real-ok"), BOTH,
              ServerSetup("slow-cdn", routes=slow)),
        Phase("lab ok, 144 dpi", 144, ("real-close-in-each-phase-of-a-run",), BOTH,
              ServerSetup("cdn", routes=published)),
        Phase("lab nothing listening, 96 dpi", 96, ("real-refused",), BOTH),
        # The name is not in hosts and the namespace's resolver never answers.
        Phase("lab name lookup never answered, 96 dpi", 96, ("real-close-during-lookup",), (),
              ServerSetup("silent-dns", extra={"dns": "silent"})),
    ]


def soak_phases():
    """Fifty runs in one window of the real program against the lab's ok scenario, then against
    one where nothing listens, at each DPI: measured, not part of the suite."""
    return [Phase(f"soak {name}, {dpi} dpi", dpi, (f"real-soak-{name}",), BOTH, server)
            for dpi in (96, 144)
            for name, server in (("ok", ServerSetup("cdn", routes=published_routes(),
                                                    extra={"lifetime": 900})),
                                 ("refused", None))]


class VirtualDisplay:
    """An Xvfb server on a display number it picks itself, ended on every way out."""

    def __init__(self):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{SCREEN}x24",
             "-nolisten", "tcp"], pass_fds=(write_end,), stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as numbers:
            number = numbers.readline().strip()
        if not number:
            self.close()
            raise RuntimeError("Xvfb did not start")
        self.name = f":{number}"

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.close()
        return False

    def close(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


def set_prefix(lab, dpi):
    """Registry settings of the lab's private prefix, made while no wineserver of it runs."""
    env = lab.program_env
    values = [(r"HKCU\Software\Wine\Fonts\Replacements", face, "REG_SZ", CHINESE_FONT)
              for face in FONT_REPLACEMENTS]
    values += [(r"HKCU\Software\Wine\Explorer", "Desktop", "REG_SZ", "Default"),
               (r"HKCU\Software\Wine\Explorer\Desktops", "Default", "REG_SZ", SCREEN),
               (r"HKCU\Control Panel\Desktop", "LogPixels", "REG_DWORD", str(dpi))]
    for key, name, kind, data in values:
        subprocess.run(["wine", "reg", "add", key, "/v", name, "/t", kind, "/d", data, "/f"],
                       env=env, check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=120)
    for flag in ("-k", "-w"):
        subprocess.run(["wineserver", flag], env=env, timeout=30, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)


RESULT_LINE = re.compile(r"^(pass|FAIL) (\S+) \(([\d.]+) s\)$")


def record_driver_output(phase, run, results):
    """One result per case line of the driver; its indented lines are the failure's details."""
    seen = []
    for line in run.stdout.splitlines():
        match = RESULT_LINE.match(line)
        if match:
            seen.append([match.group(2), match.group(1) == "pass", float(match.group(3)), []])
        elif seen and line.startswith("    "):
            seen[-1][3].append(line.strip())
    for name, passed, seconds, details in seen:
        results.record(f"{phase.name}: {name}", Verdict(passed, "", "\n".join(details)), seconds)
    missing = [case for case in phase.cases if case not in {entry[0] for entry in seen}]
    if missing or run.returncode not in (0, 1):
        results.fail(f"{phase.name}: driver", f"exit code {run.returncode}, no result for "
                     f"{', '.join(missing) or 'none'}\n{run.stdout}\n{run.stderr}")


def keep_screenshots(folder, target):
    target.mkdir(exist_ok=True)
    for bitmap in sorted(folder.glob("*.bmp")):
        subprocess.run(["convert", str(bitmap), str(target / f"{bitmap.stem}.png")], check=True)


def run_phase(lab, display, phase, results):
    set_prefix(lab, phase.dpi)
    work = lab.work / re.sub(r"\W+", "-", phase.name)
    work.mkdir()
    for case in phase.cases:
        if case in REAL_ADVICE:
            (work / f"advice-{case}.txt").write_bytes(REAL_ADVICE[case].encode("utf-16-le"))
    arguments = ["--fake", windows_path(lab.program(SCRIPTED)),
                 "--real", windows_path(lab.program(PROGRAM)),
                 "--work", windows_path(work), "--dpi", str(phase.dpi), *phase.cases]
    space = lab.namespace(phase.addresses)
    try:
        if phase.server:
            space.start_server(phase.server)
        run = space.run(lab.program(DRIVER), arguments, DRIVER_TIMEOUT, env={"DISPLAY": display})
        record_driver_output(phase, run, results)
    finally:
        for problem in space.close():
            results.fail(f"{phase.name}: clean-up", problem)
    keep_screenshots(work, lab.build_dir / "gui-screenshots")


def options():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build-dir", help="the Windows build folder (default: build/windows)")
    parser.add_argument("--only", action="append", default=[],
                        help="run only phases whose name contains this text (repeatable)")
    parser.add_argument("--keep", action="store_true",
                        help="keep the lab's work folder for inspection")
    parser.add_argument("--soak", action="store_true",
                        help="run the soak's phases instead, and print what they measured")
    return parser.parse_args()


def main():
    chosen = options()
    results = Results("gui-windows", verbose=chosen.soak)
    build_dir = Path(chosen.build_dir or TOP / "build" / "windows")
    with SignalGuard() as guard:
        try:
            with VirtualDisplay() as display, Lab("windows", build_dir, keep=chosen.keep) as lab:
                # Wine's desktop process starts with the lab's first Wine program: it must find
                # the display from the start.
                lab.wine_prefix.env["DISPLAY"] = display.name
                if chosen.keep:
                    print(f"work folder: {lab.work}", flush=True)
                for phase in selected(soak_phases() if chosen.soak else phases(), chosen.only):
                    try:
                        run_phase(lab, display.name, phase, results)
                    except Exception:
                        results.fail(phase.name, traceback.format_exc())
        except Interrupted as interruption:
            results.fail("run", f"interrupted by {interruption}")
        except Exception:
            results.fail("gui", traceback.format_exc())
        code = results.finish()
    return 128 + guard.received if guard.received else code


if __name__ == "__main__":
    sys.exit(main())

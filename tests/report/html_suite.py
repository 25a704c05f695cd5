#!/usr/bin/env python3
"""The support desk's page in a real browser: vesk-report --html over the reports the lab kept,
plus one report whose file name and system line carry markup, rendered by Debian's headless
Chromium. The page must show every report counted, hold no element a report put there, and make
a screenshot (build/report-html/page.png).

    python3 tests/report/html_suite.py [--build-dir build/native] [--reports build/lab-reports]

Prints one line per check and ends with `report-html: N passed, M failed`.
"""
import argparse
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

sys.dont_write_bytecode = True   # no __pycache__ in the source tree

TOP = Path(__file__).resolve().parents[2]
HOSTILE_SYSTEM = "系统：<script>document.title='changed'</script><img src=x onerror=alert(1)> / x64 / 构建 1"
HOSTILE_NAME = "<script>alert(1)<script>.txt"  # a file name cannot hold the "/" of a closing tag
# Without the networking switches Chromium tries to reach Google at every start on this closed
# network; as root it needs --no-sandbox.
CHROMIUM = ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
            "--disable-background-networking", "--disable-component-update", "--disable-sync",
            "--hide-scrollbars", "--window-size=1300,2400"]


def hostile_report(lab_report):
    """A lab report whose system line carries markup; the reader still takes it for a report."""
    text = lab_report.read_bytes()[2:].decode("utf-16-le")
    lines = text.split("\r\n")
    index = next(i for i, line in enumerate(lines) if line.startswith("系统："))
    lines[index] = HOSTILE_SYSTEM
    return b"\xff\xfe" + "\r\n".join(lines).encode("utf-16-le")


def chromium(work, *arguments):
    profile = tempfile.mkdtemp(prefix="chromium-", dir=work)
    try:
        return subprocess.run([*CHROMIUM, f"--user-data-dir={profile}", *arguments], capture_output=True,
                              text=True, timeout=120)
    finally:
        shutil.rmtree(profile, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build-dir", default=str(TOP / "build" / "native"))
    parser.add_argument("--reports", default=str(TOP / "build" / "lab-reports"))
    options = parser.parse_args()
    work = TOP / "build" / "report-html"
    shutil.rmtree(work, ignore_errors=True)
    inputs = work / "reports"
    shutil.copytree(options.reports, inputs)
    lab_reports = sorted(inputs.rglob("*.txt"))
    (inputs / HOSTILE_NAME).write_bytes(hostile_report(lab_reports[0]))
    count = len(lab_reports) + 1

    page = work / "page.html"
    reader = Path(options.build_dir) / "report" / "vesk-report"
    run = subprocess.run([str(reader), "--html", str(page), str(inputs)], capture_output=True, text=True,
                         timeout=120)
    dom = chromium(work, "--dump-dom", page.as_uri()).stdout if page.is_file() else ""
    screenshot = work / "page.png"
    chromium(work, f"--screenshot={screenshot}", page.as_uri())

    checks = [
        ("the reader reads every report and writes the page", run.returncode == 0 and page.is_file(),
         run.stderr.strip()),
        (f"the page counts {count} reports", f"reports: {count}</p>" in dom, "no such count in the DOM"),
        ("the page lists the report named with markup, as text", "&lt;script&gt;alert(1)&lt;script&gt;.txt" in dom,
         "the name is not shown as text"),
        ("no script, image or frame element in the rendered page",
         dom != "" and all(f"<{tag}" not in dom for tag in ("script", "img", "iframe")),
         "an element the report put there"),
        ("the browser made a screenshot", screenshot.is_file() and screenshot.stat().st_size > 20000,
         f"{screenshot} missing or nearly empty"),
    ]
    failed = 0
    for name, passed, why in checks:
        print(f"{'PASS' if passed else 'FAIL'}  {name}")
        if not passed:
            failed += 1
            print(f"      {why}")
    print(f"report-html: {len(checks) - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())

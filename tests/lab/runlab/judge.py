"""Runs the program of one lab for a case and judges what it did: the report's bytes, every line,
its time stamps and timings, or for a file rule that nothing was written."""
import datetime
import re
import shutil
import time
from pathlib import Path

from vesklab.lab import TOP
from vesklab.suite import TICK_MS, Verdict
from vesklab.wine import windows_path

from runlab.expected import Certificates, expected_lines, fetch_log, with_reported_peers
from runlab.model import FULL_DISK, FUSE, MISSING_FOLDER, REPORTS, FileRule
from runlab.reader_check import reader_problems
from runlab.scenarios import for_build
from runlab.texts import STAMP

PROGRAM = "app/vesk-check"
# Worst case of one run: two 20 s transfer limits and two 6 s probes, plus Wine's start.
PROGRAM_TIMEOUT = 90
# Every judged report is kept here, per build, for anyone who wants to read it again.
KEPT = TOP / "build" / "lab-reports"


def decode_report(data):
    """The report's text, or raises ValueError saying what is wrong with the bytes."""
    if data[:2] != b"\xff\xfe":
        raise ValueError(f"the file does not begin with FF FE: {data[:2].hex(' ')}")
    if len(data) % 2:
        raise ValueError(f"odd file length {len(data)}")
    return data[2:].decode("utf-16-le")   # strict: a lone surrogate is an error


def line_problems(text, expected):
    if re.search(r"\r(?!\n)|(?<!\r)\n", text):
        return ["a line break other than CR LF"]
    lines = text.split("\r\n")
    for number, (line, wanted) in enumerate(zip(lines, expected), 1):
        if isinstance(wanted, str) and line != wanted:
            return [f"line {number}: expected {wanted!r}", f"line {number}:      got {line!r}"]
        if not isinstance(wanted, str) and not wanted.fullmatch(line):
            return [f"line {number}: expected the pattern {wanted.pattern!r}",
                    f"line {number}:                  got {line!r}"]
    if len(lines) != len(expected):
        return [f"{len(lines)} lines where {len(expected)} were expected"]
    return []


def stamp_problems(text, started, ended):
    """Both time stamps must name a second of the run: UTC in the start line, local time next."""
    problems = []
    utc = re.search(f"检测开始：({STAMP}) UTC\r\n", text)
    local = re.search(f"电脑显示时间：({STAMP})（电脑本地时间）", text)
    for name, match, zone in (("UTC", utc, datetime.timezone.utc), ("local", local, None)):
        try:
            stamp = datetime.datetime.strptime(match.group(1), "%Y-%m-%d %H:%M:%S")
        except (AttributeError, ValueError):
            problems.append(f"no readable {name} time stamp")
            continue
        lowest = datetime.datetime.fromtimestamp(int(started) - 1, zone).replace(tzinfo=None)
        highest = datetime.datetime.fromtimestamp(int(ended) + 1, zone).replace(tzinfo=None)
        if not lowest <= stamp <= highest:
            problems.append(f"{name} time stamp {stamp} outside the run ({lowest} to {highest})")
    return problems


def timing_problems(text, scenario, seconds):
    elapsed = sum(int(ms) for ms in re.findall(r"；耗时=(\d+)ms；", text))
    fetches = len(fetch_log(scenario))
    problems = []
    if elapsed > seconds * 1000 + TICK_MS * fetches:
        problems.append(f"the fetches took {elapsed} ms, more than the run's {seconds:.3f} s")
    if scenario.seconds and not scenario.seconds[0] <= seconds <= scenario.seconds[1]:
        problems.append(f"the run took {seconds:.2f} s, outside {scenario.seconds}")
    return problems


def report_problems(scenario, lab, certificates, data, started, ended, seconds):
    try:
        text = decode_report(data)
    except ValueError as error:
        return [str(error)], ""
    scenario = with_reported_peers(scenario, text)
    expected = expected_lines(scenario, lab.build, lab.host, lab.libcurl_version, certificates)
    return (line_problems(text, expected) + stamp_problems(text, started, ended)
            + timing_problems(text, scenario, seconds)), text


def keep(report, build, name):
    folder = KEPT / build
    folder.mkdir(parents=True, exist_ok=True)
    shutil.copyfile(report, folder / f"{name}.txt")


class Runner:
    """Runs the program of one lab and judges what it did."""

    def __init__(self, lab):
        self.lab = lab
        self.program = lab.program(PROGRAM)
        self.reports = lab.work / "reports"
        self.reports.mkdir(exist_ok=True)
        self.certificates = Certificates(lab.pki.folder, lab.host)
        self.folders = {REPORTS: self.reports, MISSING_FOLDER: self.reports / "missing-folder",
                        FULL_DISK: lab.full_folder("full-disk"), FUSE: lab.fuse_folder("fuse")}
        # What the last case did, for a caller that runs one scenario on its own.
        self.exit_code = None
        self.problems = []

    def path_argument(self, path):
        return windows_path(path) if self.lab.build == "windows" else str(path)

    def run_program(self, space, report):
        started = time.time()
        run = space.run(self.program, ["--report", self.path_argument(report)], PROGRAM_TIMEOUT)
        self.exit_code = run.returncode
        return run, started, time.time()

    def run_case(self, space, case, report=None):
        case = for_build(case, self.lab.build)
        if isinstance(case, FileRule):
            return self.run_file_rule(space, case)
        report = Path(report).absolute() if report else self.folders[case.folder] / f"{case.name}.txt"
        run, started, ended = self.run_program(space, report)
        summary = f"exit {run.returncode}, {run.seconds:.2f} s"
        if run.returncode != 0 or not report.is_file():
            self.problems = [f"exit code {run.returncode}, report written: {report.is_file()}"]
            return Verdict(False, summary, "\n".join([*self.problems, run.stdout + run.stderr]))
        self.problems, text = report_problems(case, self.lab, self.certificates, report.read_bytes(),
                                              started, ended, run.seconds)
        keep(report, self.lab.build, case.name)
        if not self.problems:
            self.problems = reader_problems(report, case)
        categories = "/".join(str(int(mode.category)) for mode in case.modes)
        return Verdict(not self.problems, f"{summary}, categories {categories}",
                       "\n".join([*self.problems, "report:", text.replace("\r\n", "\n")]))

    def run_file_rule(self, space, case):
        report = self.folders[case.folder] / f"{case.name}.txt"
        if case.existing is not None:
            report.write_bytes(case.existing)
        run, _, _ = self.run_program(space, report)
        problems = [] if run.returncode == 2 else [f"exit code {run.returncode}, expected 2"]
        if case.existing is None and report.exists():
            problems.append("a half-written report was left behind")
        if case.folder == MISSING_FOLDER and report.parent.exists():
            problems.append(f"{report.parent} was created")
        if case.existing is not None and report.read_bytes() != case.existing:
            problems.append("the existing report file was changed")
        return Verdict(not problems, f"exit {run.returncode}, {run.seconds:.2f} s",
                       "\n".join([*problems, run.stdout + run.stderr]))


def run_case_for(lab):
    return Runner(lab).run_case

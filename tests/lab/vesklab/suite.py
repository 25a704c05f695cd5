"""What every lab suite shares: signal handling that lets every clean-up run, the result lines and
the closing `SUITE: N passed, M failed` line, and running a table of cases with as few namespaces
and server starts as the table allows.

A case is any object with `name`, `addresses` (what the CDN host resolves to in its namespace)
and `server` (a ServerSetup, or None for nothing listening). Cases that share `addresses` share one
namespace (and, for the Windows build, one wineserver); within it, cases that share a server
(told apart by its name) share one server start. A suite supplies
`run_case(space, case) -> Verdict`.
"""
import argparse
import enum
import signal
import time
import traceback
from dataclasses import dataclass

from .lab import TOP, Lab
from .shield import SIGNALS


class FailureCategory(enum.IntEnum):
    """The diagnosis categories, with the numbers the program prints."""
    OK = 0
    CERT_TIME_INVALID = 1
    CERT_UNTRUSTED = 2
    CERT_REVOKED = 3
    REVOCATION_UNKNOWN = 4
    CERT_NAME_MISMATCH = 5
    CERT_OTHER = 6
    TLS_OTHER = 7
    DNS_FAILED = 8
    CONNECT_FAILED = 9
    TIMEOUT = 10
    HTTP_STATUS = 11
    TRANSFER_INCOMPLETE = 12
    MANIFEST_INVALID = 13
    SIGNATURE_INVALID = 14
    CANCELLED = 15
    UNKNOWN = 16


class Interrupted(BaseException):
    """Raised once on SIGINT/SIGTERM/SIGHUP so that every `finally` and `with` cleans up."""

    def __init__(self, signum):
        super().__init__(signal.Signals(signum).name)
        self.signum = signum


class SignalGuard:
    def __init__(self):
        self.received = None
        self._previous = {}

    def __enter__(self):
        for signum in SIGNALS:
            self._previous[signum] = signal.signal(signum, self._handle)
        return self

    def __exit__(self, *_):
        for signum, handler in self._previous.items():
            signal.signal(signum, handler)
        return False

    def _handle(self, signum, _frame):
        # Only the first signal interrupts; later ones must not break off the clean-up.
        if self.received is None:
            self.received = signum
            raise Interrupted(signum)


@dataclass
class Verdict:
    passed: bool
    summary: str           # what the program produced, for the result line
    details: str = ""      # printed under a failing line: what was wrong, output, server log

    @classmethod
    def judged(cls, problems, summary, run, events):
        """The verdict on one program run: passed when no problem was found; a failure shows the
        problems, the program's output and what the server logged."""
        details = "\n".join([*problems, "program output:", run.stdout + run.stderr,
                             "server log:", *map(str, events)])
        return cls(not problems, summary, details)


# GetTickCount64 advances in steps of up to 16 ms on Windows.
TICK_MS = 16


def elapsed_problems(elapsed, wall_ms, bounds=None):
    """A program's own elapsedMs against the wall clock around it, which includes the program's
    start, so elapsedMs may only fall short of it, give or take one tick; and against the case's
    (lowest, highest) bounds when it has them."""
    problems = []
    if elapsed > wall_ms + TICK_MS:
        problems.append(f"elapsedMs {elapsed} exceeds the wall-clock time {wall_ms:.0f} ms")
    if bounds and not bounds[0] <= elapsed <= bounds[1]:
        problems.append(f"elapsedMs {elapsed} outside {bounds}")
    return problems


class Results:
    def __init__(self, suite, verbose=False):
        self.suite = suite
        self.verbose = verbose
        self.passed = 0
        self.failed = 0
        self._started = time.monotonic()

    def record(self, name, verdict, seconds):
        if verdict.passed:
            self.passed += 1
        else:
            self.failed += 1
        mark = "PASS" if verdict.passed else "FAIL"
        print(f"{mark}  {name:<50} {verdict.summary:<36} {seconds:6.2f} s", flush=True)
        if (self.verbose or not verdict.passed) and verdict.details:
            print("      " + verdict.details.rstrip().replace("\n", "\n      "), flush=True)

    def fail(self, name, details):
        self.record(name, Verdict(False, "", details), 0.0)

    def judge(self, name, judge):
        """Records what `judge()` answers, timed; an exception in it is a failed case."""
        started = time.monotonic()
        try:
            verdict = judge()
        except Exception:
            verdict = Verdict(False, "error", traceback.format_exc())
        self.record(name, verdict, time.monotonic() - started)

    def finish(self):
        """Prints the closing lines; returns the exit code."""
        print(f"{self.suite}: total {time.monotonic() - self._started:.1f} s", flush=True)
        print(f"{self.suite}: {self.passed} passed, {self.failed} failed", flush=True)
        return 1 if self.failed else 0


def grouped(cases):
    """[(addresses, [(server, [case, ...]), ...]), ...] in order of first appearance."""
    spaces = {}
    for case in cases:
        servers = spaces.setdefault(tuple(case.addresses), {})
        key = case.server.name if case.server else None
        servers.setdefault(key, (case.server, []))[1].append(case)
    return [(addresses, list(servers.values())) for addresses, servers in spaces.items()]


def run_cases(lab, cases, run_case, results):
    for addresses, servers in grouped(cases):
        all_cases = [case for _, group in servers for case in group]
        try:
            space = lab.namespace(addresses)
        except Exception:
            for case in all_cases:
                results.fail(case.name, "namespace setup failed:\n" + traceback.format_exc())
            continue
        try:
            for server, group in servers:
                run_server_group(space, server, group, run_case, results)
        finally:
            for problem in space.close():
                results.fail(f"clean-up of {space.name}", problem)


def run_server_group(space, server, group, run_case, results):
    try:
        if server:
            space.start_server(server)
        else:
            space.stop_server()
    except Exception:
        for case in group:
            results.fail(case.name, "server start failed:\n" + traceback.format_exc())
        return
    for case in group:
        results.judge(case.name, lambda: run_case(space, case))


def arguments(description):
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("--build", choices=("native", "windows"), required=True)
    parser.add_argument("--build-dir",
                        help="build folder (default: build/<build> of the repository)")
    parser.add_argument("--only", action="append", default=[],
                        help="run only cases whose name contains this text (repeatable)")
    parser.add_argument("--keep", action="store_true",
                        help="keep the work folder (certificates, server logs) for inspection; "
                             "the next run removes it")
    parser.add_argument("--verbose", action="store_true",
                        help="show the details (program output, server log) under passing cases "
                             "too, not only under failing ones")
    return parser.parse_args()


def selected(cases, only):
    return [case for case in cases if not only or any(text in case.name for text in only)]


def main(suite, description, build_cases, run_case_for):
    """The whole run of one suite: `build_cases(host)` gives the table, `run_case_for(lab)` the
    function that runs one case. Returns the exit code."""
    options = arguments(description)
    results = Results(f"{suite}-{options.build}", options.verbose)
    build_dir = options.build_dir or TOP / "build" / options.build
    with SignalGuard() as guard:
        try:
            with Lab(options.build, build_dir, keep=options.keep) as lab:
                cases = selected(build_cases(lab.host), options.only)
                if options.keep:
                    print(f"work folder: {lab.work}", flush=True)
                run_cases(lab, cases, run_case_for(lab), results)
        except Interrupted as interruption:
            results.fail("run", f"interrupted by {interruption}")
        except Exception:
            results.fail("lab", traceback.format_exc())
        code = results.finish()
    return 128 + guard.received if guard.received else code

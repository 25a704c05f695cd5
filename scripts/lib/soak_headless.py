"""scripts/soak-headless's measurement: runs the sanitizer build's vesk-check against the ok
scenario and the certificate scenarios of the whole-program lab, judges every report as the lab
does, and prints per scenario the runs, failures, leak reports and run times."""
import argparse
import math
import os
import statistics
import sys
import time
from dataclasses import replace
from pathlib import Path

sys.dont_write_bytecode = True   # no __pycache__ in the source tree
sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tests/lab"))

from vesklab.lab import DEFAULT_HOST, Lab  # noqa: E402
from vesklab.suite import SignalGuard  # noqa: E402

from runlab.judge import PROGRAM_TIMEOUT, Runner  # noqa: E402
from runlab.model import Scenario  # noqa: E402
from runlab.scenarios import checked_cases  # noqa: E402

LEAK_REPORT = "ERROR: LeakSanitizer"
# Leaks are reported when the program ends; any other sanitizer finding ends it at once.
SANITIZERS = {"ASAN_OPTIONS": "detect_leaks=1:halt_on_error=1",
              "UBSAN_OPTIONS": "halt_on_error=1:print_stacktrace=1"}


def arguments():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--runs", type=int, default=500,
                        help="runs in all: half against ok, half over the certificate scenarios")
    parser.add_argument("--build-dir", required=True, help="the sanitizer build's folder")
    return parser.parse_args()


def planned_runs(runs):
    """(scenario, runs) pairs: half of the runs for ok, the other half shared evenly by the
    certificate scenarios."""
    scenarios = [case for case in checked_cases(DEFAULT_HOST) if isinstance(case, Scenario)]
    ok = next(scenario for scenario in scenarios if scenario.name == "ok")
    certificates = [scenario for scenario in scenarios if scenario.name.startswith("cert-")]
    shared = runs // 2
    shares = [shared // len(certificates) + (index < shared % len(certificates))
              for index in range(len(certificates))]
    return [(scenario, share) for scenario, share in [(ok, runs - shared), *zip(certificates, shares)]
            if share]


def percentile(ordered, fraction):
    """The smallest value that `fraction` of the values do not exceed."""
    return ordered[max(0, math.ceil(fraction * len(ordered)) - 1)]


def soak(lab, runner, scenario, runs):
    """Runs the program `runs` times in one namespace against one server; returns the wall times
    of the runs, the failures' details and the number of leak reports."""
    # The server must outlive every run, the slowest included.
    server = replace(scenario.server,
                     extra={**scenario.server.extra, "lifetime": runs * PROGRAM_TIMEOUT})
    seconds, failures, leaks = [], [], 0
    with lab.namespace(scenario.addresses) as space:
        space.start_server(server)
        for run in range(runs):
            report = runner.reports / f"soak-{scenario.name}-{run}.txt"
            started = time.monotonic()
            verdict = runner.run_case(space, scenario, report)
            seconds.append(time.monotonic() - started)
            report.unlink(missing_ok=True)
            leaks += verdict.details.count(LEAK_REPORT)
            if not verdict.passed:
                failures.append(f"run {run + 1}: {verdict.summary}\n{verdict.details}")
    return seconds, failures, leaks


def main():
    options = arguments()
    os.environ.update(SANITIZERS)
    total_failures = 0
    print(f"{'scenario':<26} {'runs':>5} {'failed':>6} {'leaks':>5} {'median s':>8} "
          f"{'p95 s':>6} {'max s':>6}", flush=True)
    started = time.monotonic()
    with SignalGuard(), Lab("native", options.build_dir) as lab:
        runner = Runner(lab)
        for scenario, runs in planned_runs(options.runs):
            seconds, failures, leaks = soak(lab, runner, scenario, runs)
            total_failures += len(failures)
            ordered = sorted(seconds)
            print(f"{scenario.name:<26} {runs:>5} {len(failures):>6} {leaks:>5} "
                  f"{statistics.median(ordered):>8.2f} {percentile(ordered, 0.95):>6.2f} "
                  f"{ordered[-1]:>6.2f}", flush=True)
            for failure in failures[:3]:
                print(failure, file=sys.stderr)
    print(f"soak-headless: {total_failures} of {sum(runs for _, runs in planned_runs(options.runs))} "
          f"runs failed, in {time.monotonic() - started:.0f} s")
    return 1 if total_failures else 0


if __name__ == "__main__":
    sys.exit(main())

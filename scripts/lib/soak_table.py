"""Prints scripts/soak's table from its folder: for each suite, its runs, how many failed, and
each case that failed at least once, with how often. Exits 1 when a run failed.

A case failed when its suite printed it as failed: a lab, window, release or static suite's
'FAIL  NAME  ...' line, or GoogleTest's '[  FAILED  ] NAME' (each case once per run). A run that
failed without naming a case shows as '(no case named)'."""
import collections
import re
import sys
from pathlib import Path

FAILED_CASE = (re.compile(r"^FAIL  (.+?)(?:\s{2,}|$)"), re.compile(r"^\[  FAILED  \] ([\w/]+\.[\w/]+)"))


def failed_cases(log):
    names = []
    for line in log.read_text(encoding="utf-8", errors="replace").splitlines():
        for pattern in FAILED_CASE:
            match = pattern.match(line)
            if match and match.group(1) not in names:
                names.append(match.group(1))
    return names


def main(folder):
    runs = collections.Counter()
    failures = collections.Counter()
    cases = collections.defaultdict(collections.Counter)
    for line in (folder / "runs.tsv").read_text().splitlines():
        output, suite, status = line.split("\t")
        runs[suite] += 1
        if status != "passed":
            failures[suite] += 1
            named = failed_cases(Path(output))
            cases[suite].update(named or ["(no case named)"])
    print(f"{'suite':<20} {'runs':>4} {'failed':>6}  cases that failed at least once")
    for suite in runs:
        listed = "; ".join(f"{name} ×{count}" for name, count in cases[suite].items()) or "none"
        print(f"{suite:<20} {runs[suite]:>4} {failures[suite]:>6}  {listed}")
    return 1 if failures else 0


sys.exit(main(Path(sys.argv[1])))

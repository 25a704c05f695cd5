"""What the support desk's reader (vesk-report, the native build's) makes of each report the
suite judged: it must read it, and agree with the scenario about both final categories and the
advice."""
import json
import subprocess

from vesklab.lab import TOP

from runlab.texts import READER_NAMES

READER = TOP / "build" / "native" / "report" / "vesk-report"


def reader_problems(report, scenario):
    """Problems with what the reader says about the report; none when it agrees. A tree without
    the native build (scripts/run --windows alone) has no reader to ask."""
    if not READER.exists():
        return []
    run = subprocess.run([str(READER), "--json", str(report)], capture_output=True, text=True, timeout=30)
    if run.returncode != 0:
        return [f"the reader refused the report (exit {run.returncode}): {run.stderr.strip()}"]
    record = json.loads(run.stdout)
    problems = []
    categories = [c["category"] for c in record["classifications"]]
    wanted = [int(mode.category) for mode in scenario.modes]
    if categories != wanted:
        problems.append(f"the reader read the categories {categories}, the scenario says {wanted}")
    if record["advice"]["name"] != READER_NAMES[scenario.advice]:
        problems.append(f"the reader named the advice {record['advice']['name']!r}, "
                        f"the scenario says {READER_NAMES[scenario.advice]!r}")
    return problems

#!/usr/bin/env python3
"""The whole program, end to end: the real vesk-check, headless, against lab servers.

    python3 tests/lab/run_suite.py --build native|windows [--build-dir DIR] [--only TEXT] [--keep] [--verbose]
    python3 tests/lab/run_suite.py --list
    python3 tests/lab/run_suite.py --scenario NAME [--build native|windows] [--build-dir DIR]
                                   [--report FILE]

Run as root. The table runs `vesk-check --report FILE` once per case inside a lab namespace, prints
one line per case and ends with `lab-run-<build>: N passed, M failed`; the exit code is non-zero
when a case failed.

Each case checks the whole report file: the byte-order mark and UTF-16LE, then every line, exactly
where the text is fixed (header, scope block, advice, the fixed fields of every diagnostic line,
the certificate section with the names and fingerprints of the lab's certificates, the final
classification lines, footer) and by pattern where the value is the platform's (time stamps, which
must fall within the run, system and component texts, timings, socket and TLS codes). The table
covers every advice text that each build can reach; the rest (certificate categories, which only
Schannel's texts name, and the texts of an unfinished run) belong to the unit tests. More cases
hold the file rules: an existing report file (in the work folder and on a FUSE mount), a missing
folder and a full disk all give exit code 2, and nothing is written or changed; on the FUSE mount,
which cannot hold an unnamed file, a whole report is written too.

`--scenario NAME` runs one scenario once (the report goes to FILE, which must not exist), prints
whether the report is what the scenario expects, and exits with the program's exit code;
`--list` names the scenarios.
"""
import sys
import traceback
from pathlib import Path

sys.dont_write_bytecode = True   # no __pycache__ in the source tree
sys.path.insert(0, str(Path(__file__).resolve().parent))

from vesklab.suite import main  # noqa: E402

from runlab.judge import run_case_for  # noqa: E402
from runlab.one_scenario import (list_scenarios, one_scenario_arguments, run_one_scenario,  # noqa: E402
                                  scenario_mode)
from runlab.scenarios import checked_cases  # noqa: E402


if __name__ == "__main__":
    if scenario_mode():
        options = one_scenario_arguments()
        try:
            sys.exit(list_scenarios() if options.list else run_one_scenario(options))
        except Exception:
            traceback.print_exc()
            sys.exit(1)
    sys.exit(main("lab-run", __doc__.split("\n")[0], checked_cases, run_case_for))

"""Adds up the suites' closing lines 'SUITE: N passed, M failed' found in a log and prints the
plain total 'N passed, M failed'. Exits 1 when a test failed or none ran. A closing line starts
its line: an indented one is a program's output that a failing case shows, not a suite's."""
import re
import sys

LINE = re.compile(r"^[\w-]+: (\d+) passed, (\d+) failed$")

passed = failed = 0
with open(sys.argv[1], encoding="utf-8", errors="replace") as log:
    for line in log:
        match = LINE.match(line.rstrip())
        if match:
            passed += int(match.group(1))
            failed += int(match.group(2))
print(f"{passed} passed, {failed} failed")
sys.exit(1 if failed or passed == 0 else 0)

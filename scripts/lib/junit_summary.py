"""Prints one closing line for the GoogleTest JUnit files of a suite:
   'SUITE: N passed, M failed'   (or, with --total DIR..., the plain 'N passed, M failed').
Exits 1 when a test failed or no test ran."""
import pathlib
import sys
import xml.etree.ElementTree as ElementTree


def count(directories):
    passed = failed = 0
    for directory in directories:
        for path in sorted(pathlib.Path(directory).glob("*.xml")):
            root = ElementTree.parse(path).getroot()
            tests = int(root.get("tests", 0)) - int(root.get("disabled", 0))
            broken = int(root.get("failures", 0)) + int(root.get("errors", 0))
            skipped = sum(1 for _ in root.iter("skipped"))
            passed += tests - broken - skipped
            failed += broken
    return passed, failed


def main(arguments):
    if arguments[0] == "--total":
        passed, failed = count(arguments[1:])
        print(f"{passed} passed, {failed} failed")
    else:
        passed, failed = count(arguments[1:])
        print(f"{arguments[0]}: {passed} passed, {failed} failed")
    return 1 if failed or passed == 0 else 0


sys.exit(main(sys.argv[1:]))

"""Prints the closing line 'SUITE: N passed, M failed' for the GoogleTest JUnit files of a suite.
Exits 1 when a test failed or none ran."""
import pathlib
import sys
import xml.etree.ElementTree as ElementTree


def count(directory):
    passed = failed = 0
    for path in sorted(pathlib.Path(directory).glob("*.xml")):
        root = ElementTree.parse(path).getroot()
        tests = int(root.get("tests", 0)) - int(root.get("disabled", 0))
        broken = int(root.get("failures", 0)) + int(root.get("errors", 0))
        skipped = sum(1 for _ in root.iter("skipped"))
        passed += tests - broken - skipped
        failed += broken
    return passed, failed


suite, directory = sys.argv[1], sys.argv[2]
passed, failed = count(directory)
print(f"{suite}: {passed} passed, {failed} failed")
sys.exit(1 if failed or passed == 0 else 0)

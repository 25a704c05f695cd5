#!/usr/bin/env python3
"""What can be checked of the 32-bit product without running it: a Windows GUI program for x86
that needs system DLLs only and imports no function Windows 7 SP1 lacks, with its application
manifest, its icon, its version resource, the licence notice of the libcurl it links, and that
libcurl's version. It runs on every machine, also where no 32-bit
program can start and the other Windows suites run the 64-bit twin.

    python3 tests/static/static_suite.py [--build-dir DIR]

A line per case, then `static-windows: N passed, M failed`.
"""
import argparse
import functools
import re
import subprocess
import sys
import time
from pathlib import Path

sys.dont_write_bytecode = True   # no __pycache__ in the source tree
TOP = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(TOP / "tests/lab"))

import version_info  # noqa: E402
from pe_resource import resource  # noqa: E402
from vesklab.lab import cache_value, linked_libcurl, linked_libcurl_version  # noqa: E402
from vesklab.suite import Results, Verdict  # noqa: E402

PROGRAM = "app/vesk-check.exe"
OBJDUMP = "i686-w64-mingw32-objdump"
# What Windows 7 and later have in System32; nothing of the compiler's runtime or of libcurl.
SYSTEM_DLLS = {"advapi32.dll", "bcrypt.dll", "comdlg32.dll", "crypt32.dll", "gdi32.dll",
               "iphlpapi.dll", "kernel32.dll", "msvcrt.dll", "secur32.dll", "shell32.dll",
               "user32.dll", "ws2_32.dll"}
# Functions newer than Windows 7 SP1, one a line with the Windows that first has them.
NEWER_THAN_WINDOWS7 = Path(__file__).with_name("newer_than_windows7.txt")
# Not elevated, system DPI aware, Windows 7 and Windows 10 named, the classic controls.
MANIFEST_NEEDS = ('level="asInvoker"', 'uiAccess="false"', ">true</dpiAware>",
                  "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}")
RT_RCDATA, RT_GROUP_ICON, RT_MANIFEST = 10, 14, 24
ICON_ID, LICENCE_ID = 107, 403
# One string table, Simplified Chinese in UTF-16, for an application.
CHINESE_UNICODE, VFT_APP = (0x0804, 1200), 1
CMAKE_TRUE = {"ON", "YES", "TRUE", "Y", "1"}


def run(*command):
    return subprocess.run(command, check=True, capture_output=True).stdout


@functools.cache
def pe_header(program):
    """objdump's account of the program's headers and imports, read once."""
    return run(OBJDUMP, "-p", str(program)).decode()


def program_kind(program, _build_dir):
    problems = []
    header = pe_header(program)
    if "file format pei-i386" not in header:
        problems.append("not a 32-bit x86 executable")
    if not re.search(r"^Subsystem\s+00000002", header, re.MULTILINE):
        problems.append("not the Windows GUI subsystem")
    return problems


def system_dlls_only(program, _build_dir):
    imported = {name.lower() for name in re.findall(r"DLL Name: (\S+)", pe_header(program))}
    return [f"imports {name}, which is not a system DLL" for name in sorted(imported - SYSTEM_DLLS)]


def imported_functions(header):
    """(DLL, function) for every function objdump lists in the program's import tables."""
    imports, dll = [], None
    for line in header.splitlines():
        if line.startswith("The "):
            dll = None
        named = re.match(r"\s*DLL Name: (\S+)", line)
        entry = re.match(r"\t[0-9a-f]+\t\s*\d+\s+(\S+)$", line)
        if named:
            dll = named.group(1)
        elif dll and entry:
            imports.append((dll, entry.group(1)))
    return imports


def newer_than_windows7():
    """{function: the first Windows that has it, and who could import it}"""
    entries = (line.split(None, 1) for line in NEWER_THAN_WINDOWS7.read_text().splitlines()
               if line.strip() and not line.startswith("#"))
    return {name: since for name, since in entries}


def windows7_imports(program, _build_dir):
    header = pe_header(program)
    imports = imported_functions(header)
    # A change in objdump's layout must not make every import pass unseen.
    read = {dll.lower() for dll, _ in imports}
    problems = [f"no functions read for {dll}" for dll in re.findall(r"DLL Name: (\S+)", header)
                if dll.lower() not in read]
    newer = newer_than_windows7()
    return problems + [f"imports {name} from {dll}: {newer[name]}"
                       for dll, name in imports if name in newer]


def application_manifest(program, _build_dir):
    manifest = resource(program, RT_MANIFEST, 1)
    if manifest is None:
        return ["no application manifest"]
    text = manifest.decode("utf-8", errors="replace")
    problems = [f"the manifest lacks {needed}" for needed in MANIFEST_NEEDS if needed not in text]
    if "Common-Controls" in text:
        problems.append("the manifest names the common controls")
    return problems


def window_icon(program, _build_dir):
    return [] if resource(program, RT_GROUP_ICON, ICON_ID) else [f"no icon {ICON_ID}"]


def version_resource(program, build_dir):
    info = version_info.read(program)
    if info is None:
        return ["no version resource"]
    version = cache_value(build_dir, "CMAKE_PROJECT_VERSION")
    numbers = tuple(int(n) for n in (version.split(".") + ["0"] * 4)[:4])
    expected = {
        "FileVersion": ".".join(map(str, numbers)),
        "ProductVersion": version,
        "OriginalFilename": program.name,
        "ProductName": cache_value(build_dir, "VESK_PRODUCT_NAME"),
        "CompanyName": cache_value(build_dir, "VESK_COMPANY_NAME"),
        "LegalCopyright": cache_value(build_dir, "VESK_COPYRIGHT"),
    }
    problems = [f"{name} is {info.strings.get(name)!r}, not {value!r}"
                for name, value in expected.items() if info.strings.get(name) != value]
    if (info.file_version, info.product_version) != (numbers, numbers):
        problems.append(f"the numbers are {info.file_version} and {info.product_version}, not {numbers}")
    if info.translations != [CHINESE_UNICODE] or info.file_type != VFT_APP:
        problems.append(f"translations {info.translations}, file type {info.file_type}")
    if not any("\u4e00" <= c <= "\u9fff" for c in info.strings.get("FileDescription", "")):
        problems.append("the file description is not in Chinese")
    release = cache_value(build_dir, "VESK_RELEASE").upper() in CMAKE_TRUE
    if bool(info.flags & version_info.VS_FF_PRERELEASE) == release:
        problems.append("a release marked pre-release" if release else "a test build not marked pre-release")
    return problems


def libcurl_licence(program, build_dir):
    notice = linked_libcurl(build_dir) / "COPYING"
    carried = resource(program, RT_RCDATA, LICENCE_ID)
    if carried is None:
        return [f"no licence resource {LICENCE_ID}"]
    return [] if carried == notice.read_bytes() else [f"resource {LICENCE_ID} is not {notice}"]


def libcurl_version(program, build_dir):
    version = linked_libcurl_version(build_dir)
    # libcurl keeps its version as a C string; the report's component line shows it.
    return [] if (version.encode() + b"\0") in program.read_bytes() else [f"libcurl {version} not linked in"]


CASES = (
    ("32-bit Windows GUI program", program_kind),
    ("imports system DLLs only", system_dlls_only),
    ("imports nothing newer than Windows 7 SP1", windows7_imports),
    ("application manifest", application_manifest),
    (f"icon {ICON_ID}", window_icon),
    ("version resource", version_resource),
    (f"licence resource {LICENCE_ID} is the linked libcurl's", libcurl_licence),
    ("libcurl is the version its headers name", libcurl_version),
)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build-dir", type=Path, default=TOP / "build/windows",
                        help="the 32-bit Windows build folder (default: build/windows)")
    options = parser.parse_args()
    program = options.build_dir / PROGRAM
    results = Results("static-windows")
    for name, check in CASES:
        started = time.monotonic()
        try:
            problems = check(program, options.build_dir)
        except (OSError, subprocess.CalledProcessError) as error:
            problems = [f"could not be checked: {error}"]
        results.record(name, Verdict(not problems, "ok" if not problems else "wrong",
                                     "\n".join(problems)), time.monotonic() - started)
    return results.finish()


if __name__ == "__main__":
    sys.exit(main())

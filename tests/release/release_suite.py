#!/usr/bin/env python3
"""scripts/release as a publisher runs it, twice from the same source: in two folders, one after
the other, under two host names and time zones. The first release is signed with a throw-away
certificate and time-stamped by a local RFC 3161 server; the second is not signed. The signature
must verify against the throw-away root and fail after one flipped byte, the signed program must
still run, and the two unsigned programs must be the same bytes. What a release refuses to start
with is checked first.

    python3 tests/release/release_suite.py [--wine-prefix DIR] [--verbose] [--keep]

--wine-prefix names the Wine prefix in which the signed 32-bit program is run (scripts/test gives
it where 32-bit programs start). A line per case, then `release: N passed, M failed`.
"""
import argparse
import hashlib
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import traceback
from dataclasses import dataclass
from pathlib import Path

sys.dont_write_bytecode = True   # no __pycache__ in the source tree
TOP = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(TOP / "tests/lab"))

from signing_pki import SigningPki  # noqa: E402
from timestamp_server import TimestampServer  # noqa: E402
from vesklab.lab import Lab, cache_value  # noqa: E402
from vesklab.shield import shielded  # noqa: E402
from vesklab.suite import Interrupted, Results, SignalGuard, Verdict  # noqa: E402
from vesklab.wine import windows_path  # noqa: E402

HOST = "update.vesk-release.test"
PROGRAM = "vesk-check.exe"
RELEASE_TIMEOUT = 1200
DIST_FILES = {PROGRAM, "NOTICE.txt", "BUILDINFO.txt", "SHA256SUMS", "licences/libcurl.txt",
              "licences/gcc-runtime.txt", "licences/mingw-w64.txt"}
BOM = b"\xef\xbb\xbf"
# The PE header's offset sits at 0x3C; its time stamp 8 bytes into it.
PE_OFFSET_AT, PE_TIMESTAMP_AT = 0x3C, 8


@dataclass
class Release:
    tree: Path
    returncode: int
    output: str
    seconds: float

    @property
    def dist(self):
        return self.tree / "dist"

    @property
    def unsigned(self):
        return self.tree / "build/release/app" / PROGRAM

    def buildinfo(self):
        text = (self.dist / "BUILDINFO.txt").read_bytes().removeprefix(BOM).decode()
        return dict(line.split(": ", 1) for line in text.splitlines() if ": " in line)


def copy_source(folder):
    """The tree as it is in the working copy, without build outputs or git's records."""
    listed = subprocess.run(["git", "-C", str(TOP), "ls-files", "-z", "--cached", "--others",
                             "--exclude-standard"], check=True, capture_output=True).stdout
    for name in filter(None, listed.decode().split("\0")):
        source = TOP / name
        if source.is_file():
            (folder / name).parent.mkdir(parents=True, exist_ok=True)
            shutil.copy2(source, folder / name)
    return folder


def commit_time():
    """The time of the commit under test, as scripts/release takes it in a git checkout."""
    return subprocess.run(["git", "-C", str(TOP), "log", "-1", "--format=%ct"], check=True,
                          capture_output=True, text=True).stdout.strip()


def deployment_key(folder):
    """A deployment's manifest public key: any RSA-3072 key but the test key."""
    folder.mkdir(parents=True)
    subprocess.run(["openssl", "genpkey", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:3072",
                    "-out", str(folder / "manifest.key")], check=True, capture_output=True)
    subprocess.run(["openssl", "pkey", "-in", str(folder / "manifest.key"), "-pubout",
                    "-out", str(folder / "manifest.pub.pem")], check=True, capture_output=True)
    return folder / "manifest.pub.pem"


def release_environment(**settings):
    """The caller's environment with `settings`; no SOURCE_DATE_EPOCH unless given, and the
    local time-stamp server reached directly, never through a proxy."""
    environment = {name: value for name, value in os.environ.items() if name != "SOURCE_DATE_EPOCH"}
    return {**environment, "no_proxy": "127.0.0.1", "NO_PROXY": "127.0.0.1", **settings}


def run_release(tree, arguments, environment, wrapper=()):
    started = time.monotonic()
    completed = subprocess.run([*wrapper, str(tree / "scripts/release"), *arguments],
                               env=environment, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, text=True, timeout=RELEASE_TIMEOUT)
    return Release(tree, completed.returncode, completed.stdout, time.monotonic() - started)


def with_host_name(name):
    """A command prefix that runs the command under another host name (its own UTS namespace)."""
    return ["unshare", "--uts", "sh", "-c", 'hostname "$1" && shift && exec "$@"', "sh", name]


def sha256(path):
    return hashlib.sha256(Path(path).read_bytes()).hexdigest()


def verify(program, pki):
    return subprocess.run(["osslsigncode", "verify", "-in", str(program), "-CAfile", str(pki.root),
                           "-TSA-CAfile", str(pki.root)], capture_output=True, text=True)


# What a release refuses, before it builds anything: (name, tree, arguments, environment, words).
def refusal_rows(plain, dirty, key, pki):
    dated = release_environment(SOURCE_DATE_EPOCH=commit_time())
    usual = ["--cdn-host", HOST, "--public-key", str(key)]
    return [
        ("a git checkout with uncommitted changes", dirty, usual, release_environment(),
         "uncommitted changes"),
        ("a tree outside git without SOURCE_DATE_EPOCH", plain, usual, release_environment(),
         "set SOURCE_DATE_EPOCH"),
        ("--pkcs12 without --password-file", plain, [*usual, "--pkcs12", str(pki.pkcs12)], dated,
         "needs --password-file"),
        ("a time stamp without a certificate", plain, [*usual, "--timestamp-url", "http://127.0.0.1/"],
         dated, "go with --pkcs12"),
    ]


def refuses(tree, arguments, environment, words):
    release = run_release(tree, arguments, environment)
    problems = [] if release.returncode != 0 else ["the release went ahead"]
    if words not in release.output:
        problems.append(f"the refusal does not say {words!r}")
    if release.dist.exists():
        problems.append("a dist folder was made")
    return Verdict(not problems, f"exit {release.returncode}", "\n".join([*problems, release.output]))


def dirty_checkout(folder):
    copy_source(folder)
    git = ["git", "-C", str(folder), "-c", "user.name=release test", "-c", "user.email=test@vesk.test"]
    subprocess.run([*git, "init", "-q"], check=True)
    subprocess.run([*git, "add", "-A"], check=True)
    subprocess.run([*git, "commit", "-q", "-m", "release test"], check=True)
    with open(folder / "README.md", "a") as readme:
        readme.write("\nan uncommitted line\n")
    return folder


def signature_verifies(signed, pki, timestamps):
    check = verify(signed.dist / PROGRAM, pki)
    problems = [] if check.returncode == 0 else [f"osslsigncode verify exits {check.returncode}"]
    for needed in ("Signature verification: ok", "Timestamp Server Signature verification: ok"):
        if needed not in check.stdout:
            problems.append(f"the verification lacks {needed!r}")
    if timestamps.replies == 0:
        problems.append("the time-stamp server was never asked")
    return Verdict(not problems, "ok" if not problems else "wrong",
                   "\n".join([*problems, check.stdout, check.stderr]))


def flipped_byte_fails(signed, pki, folder):
    """One byte of the signed image changed, half-way into what the signature covers."""
    data = bytearray((signed.dist / PROGRAM).read_bytes())
    data[signed.unsigned.stat().st_size // 2] ^= 0x01
    flipped = folder / PROGRAM
    flipped.write_bytes(data)
    check = verify(flipped, pki)
    problems = [] if check.returncode != 0 else ["a changed file still verifies"]
    if "MISMATCH" not in check.stdout:
        problems.append("osslsigncode names no digest mismatch")
    return Verdict(not problems, f"exit {check.returncode}", "\n".join([*problems, check.stdout]))


def signed_program_runs(signed, wine_prefix):
    """The signed program's whole headless run under Wine, in a lab namespace where nothing
    listens: it starts, checks the release's host, writes its report and exits 0."""
    build_dir = signed.tree / "build/release"
    version = cache_value(build_dir, "CMAKE_PROJECT_VERSION")
    with Lab("windows", build_dir, wine_prefix=wine_prefix) as lab:
        with lab.namespace(("127.0.0.1",)) as space:
            report = lab.work / "report.txt"
            run = space.run(signed.dist / PROGRAM, ["--report", windows_path(report)], timeout=120)
            text = report.read_bytes().decode("utf-16") if report.exists() else ""
    problems = [] if run.returncode == 0 else [f"exit code {run.returncode}"]
    for needed in (f"Vesk 更新连接检测工具 {version}", f"目标：https://{HOST}/manifest.json"):
        if needed not in text:
            problems.append(f"the report lacks {needed!r}")
    return Verdict(not problems, f"exit {run.returncode}, {run.seconds:.1f} s",
                   "\n".join([*problems, run.stdout + run.stderr, text]))


def says_unsigned(unsigned):
    problems = [] if "NOT SIGNED" in unsigned.output else ["the release does not say it is unsigned"]
    if not unsigned.buildinfo().get("signature", "").startswith("none"):
        problems.append("BUILDINFO.txt names a signature")
    return problems


def windows_text(path):
    data = path.read_bytes()
    return data.startswith(BOM) and b"\n" not in data.replace(b"\r\n", b"")


def dist_complete(release):
    dist = release.dist
    present = {p.relative_to(dist).as_posix() for p in dist.rglob("*") if p.is_file()}
    problems = [f"dist lacks {name}" for name in sorted(DIST_FILES - present)]
    problems += [f"dist holds {name} too" for name in sorted(present - DIST_FILES)]
    sums = subprocess.run(["sha256sum", "--check", "--strict", "SHA256SUMS"], cwd=dist,
                          capture_output=True, text=True)
    listed = set(re.findall(r"^[0-9a-f]{64}  (.+)$", (dist / "SHA256SUMS").read_text(), re.MULTILINE))
    if sums.returncode != 0 or listed != present - {"SHA256SUMS"}:
        problems.append(f"SHA256SUMS does not check out:\n{sums.stdout}{sums.stderr}")
    problems += [f"{name} is not Windows text" for name in sorted(present)
                 if name.endswith(".txt") and not windows_text(dist / name)]
    curl = Path(cache_value(release.tree / "build/release", "VESK_CURL_PREFIX")) / "COPYING"
    carried = (dist / "licences/libcurl.txt").read_bytes().removeprefix(BOM).replace(b"\r\n", b"\n")
    if carried != curl.read_bytes():
        problems.append(f"licences/libcurl.txt is not {curl}")
    if release.buildinfo().get(f"unsigned {PROGRAM} SHA-256") != sha256(release.unsigned):
        problems.append("BUILDINFO.txt names another unsigned program")
    return problems


def pe_timestamp(program):
    data = program.read_bytes()
    header = struct.unpack_from("<I", data, PE_OFFSET_AT)[0]
    return struct.unpack_from("<I", data, header + PE_TIMESTAMP_AT)[0]


def same_bytes(first, second, epoch):
    digests = {sha256(first.unsigned), sha256(second.dist / PROGRAM)}
    problems = [] if len(digests) == 1 else [f"the unsigned programs differ: {sorted(digests)}"]
    stamps = {pe_timestamp(first.unsigned), pe_timestamp(second.dist / PROGRAM)}
    if stamps != {int(epoch)}:
        problems.append(f"PE time stamps {sorted(stamps)}, not the commit's {epoch}")
    summary = "SHA-256 " + " = ".join(digest[:16] for digest in sorted(digests))
    return Verdict(not problems, summary, "\n".join([*problems, *sorted(digests)]))


def no_build_folders(releases):
    """Neither the trees, nor the temporary folder libcurl was built in, nor the home folder
    with its caches, in ASCII or UTF-16."""
    places = {tempfile.gettempdir(), os.path.expanduser("~"), *(str(r.tree) for r in releases)}
    problems = []
    for release in releases:
        data = (release.dist / PROGRAM).read_bytes()
        problems += [f"{release.tree.name}'s program names {place}" for place in sorted(places)
                     for encoding in ("utf-8", "utf-16-le")
                     if (place.rstrip("/") + "/").encode(encoding) in data]
    return problems


def checked(problems):
    return Verdict(not problems, "ok" if not problems else "wrong", "\n".join(problems))


def released(results, name, release):
    """Records the release run itself; true when it finished."""
    passed = release.returncode == 0
    results.record(name, Verdict(passed, f"exit {release.returncode}", release.output), release.seconds)
    return passed


def run_suite(work, options, results):
    epoch = commit_time()
    key = deployment_key(work / "keys")
    pki = SigningPki(work / "pki")
    first = copy_source(work / "a" / "vesk-check")
    second = copy_source(work / "second-build" / "source-tree-b")
    dirty = dirty_checkout(work / "dirty")
    for name, tree, arguments, environment, words in refusal_rows(second, dirty, key, pki):
        results.judge(f"refuses {name}", lambda: refuses(tree, arguments, environment, words))

    usual = ["--cdn-host", HOST, "--public-key", str(key)]
    with TimestampServer(work / "tsa", pki) as timestamps:
        signed = run_release(first, [*usual, "--pkcs12", str(pki.pkcs12), "--password-file",
                                     str(pki.password_file), "--timestamp-url", timestamps.url,
                                     "--ca-file", str(pki.root)],
                             release_environment(SOURCE_DATE_EPOCH=epoch, TZ="UTC"))
    if released(results, "signed, time-stamped release", signed):
        results.judge("signature and time stamp verify against the test root",
                      lambda: signature_verifies(signed, pki, timestamps))
        results.judge("one flipped byte fails the verification",
                      lambda: flipped_byte_fails(signed, pki, work))
        results.judge("dist holds the program, its notices, build facts and checksums",
                      lambda: checked(dist_complete(signed)))
        if options.wine_prefix:
            results.judge("the signed program runs under Wine",
                          lambda: signed_program_runs(signed, options.wine_prefix))
        else:
            print("      the signed program is not run: no --wine-prefix for 32-bit programs", flush=True)

    # A caller's CMake setting cannot make it less of a release: the bytes would differ.
    unsigned = run_release(second, [*usual, "-DVESK_RELEASE=OFF"],
                           release_environment(SOURCE_DATE_EPOCH=epoch, TZ="Asia/Shanghai", LC_ALL="C"),
                           with_host_name("vesk-second-builder"))
    if released(results, "unsigned release elsewhere, later, on another host", unsigned):
        results.judge("an unsigned release says so", lambda: checked(says_unsigned(unsigned)))
        if signed.returncode == 0:
            results.judge("the two unsigned programs are the same bytes",
                          lambda: same_bytes(signed, unsigned, epoch))
            results.judge("no build folder in the program",
                          lambda: checked(no_build_folders((signed, unsigned))))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--wine-prefix", type=Path,
                        help="Wine prefix for running the signed 32-bit program (default: not run)")
    parser.add_argument("--verbose", action="store_true",
                        help="show the details (outputs) under passing cases too")
    parser.add_argument("--keep", action="store_true", help="keep the work folder for inspection")
    options = parser.parse_args()
    results = Results("release", options.verbose)
    work = Path(tempfile.mkdtemp(prefix="vesk-release-"))
    with SignalGuard() as guard:
        try:
            run_suite(work, options, results)
        except Interrupted as interruption:
            results.fail("run", f"interrupted by {interruption}")
        except Exception:
            results.fail("release", traceback.format_exc())
        finally:
            with shielded():
                if options.keep:
                    print(f"work folder: {work}", flush=True)
                else:
                    shutil.rmtree(work, ignore_errors=True)
        code = results.finish()
    return 128 + guard.received if guard.received else code


if __name__ == "__main__":
    sys.exit(main())

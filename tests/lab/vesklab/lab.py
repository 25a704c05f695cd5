"""The lab for one suite run: the build under test, its CDN host, the certificates, a work folder,
and namespaces in which servers run and the build's programs are started.

    with Lab("native", build_dir) as lab:
        with lab.namespace(("127.0.0.1", "::1")) as space:
            server = space.start_server(ServerSetup("cdn", routes={"/a": route(body=b"...")}))
            mark = server.mark()
            run = space.run(lab.program("tests/lab/fetch-tool"), [url, "ipv4", "9"], timeout=60)
            events = server.events(since=mark)   # what the server saw of this run

Everything a lab makes is owned by a context manager and released on every way out: servers,
Wine processes, namespaces, /etc/netns folders, the work folder.
"""
import base64
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass, field
from pathlib import Path

from .netns import Namespace, owner_alive, sweep_dead_runs
from .pki import Pki
from .shield import shielded
from .wine import WinePrefix, WineServer

TOP = Path(__file__).resolve().parents[3]
SERVER_SCRIPT = Path(__file__).resolve().with_name("server.py")
DEFAULT_HOST = "update.vesk.example"
WORK_PREFIX = "lab-"
BOTH = ("127.0.0.1", "::1")


def route(status=200, body=b"", **behaviour):
    """One path's answer for the lab server (see server.py for the keys of `behaviour`)."""
    return {"status": status, "body_b64": base64.b64encode(body).decode("ascii"), **behaviour}


@dataclass(frozen=True, eq=False)
class ServerSetup:
    """A lab server: which chain it presents, where it listens, how it answers. `tls` adds
    handshake settings (versions, ciphers, client certificate); `extra` adds top-level keys of the
    server configuration (handshake misbehaviour, per-connection behaviour, lifetime)."""
    name: str
    chain: str = "good"
    listen: tuple = BOTH
    routes: dict = field(default_factory=dict)
    tls: dict = field(default_factory=dict)
    extra: dict = field(default_factory=dict)


@dataclass
class ProgramRun:
    command: list
    returncode: int
    stdout: str
    stderr: str
    seconds: float


def mounts_below(folder):
    prefix = str(Path(folder).resolve()) + "/"
    with open("/proc/self/mounts", encoding="utf-8") as mounts:
        points = [line.split()[1] for line in mounts]
    return [point for point in points if point.startswith(prefix)]


def unmount(folder):
    """Detaches a file system the lab mounted; namespaces that still hold a copy let go of it
    when their last process ends."""
    subprocess.run(["umount", "-l", str(folder)], capture_output=True)


def cache_value(build_dir, name):
    """A CMake cache variable of the build folder, or "" when it has none."""
    cache = Path(build_dir) / "CMakeCache.txt"
    if cache.is_file():
        match = re.search(rf"^{name}:\w+=(.*)$", cache.read_text(), re.MULTILINE)
        if match:
            return match.group(1).strip()
    return ""


def cdn_host(build_dir):
    return cache_value(build_dir, "VESK_CDN_HOST") or DEFAULT_HOST


def linked_libcurl(build_dir):
    """The folder of the static libcurl the build links."""
    return Path(cache_value(build_dir, "VESK_CURL_PREFIX"))


def linked_libcurl_version(build_dir):
    """The version of the libcurl the build links, as its headers give it."""
    header = (linked_libcurl(build_dir) / "include/curl/curlver.h").read_text()
    return re.search(r'^#define LIBCURL_VERSION "([^"]+)"', header, re.MULTILINE).group(1)


class ServerProcess:
    """One running lab server and its event log."""

    READY_TIMEOUT = 10.0

    def __init__(self, namespace, config, folder):
        self.folder = Path(folder)
        self.log = self.folder / "events.jsonl"
        config = {**config, "log": str(self.log)}
        (self.folder / "config.json").write_text(json.dumps(config, indent=1))
        self._output = open(self.folder / "output.txt", "wb")
        self.process = namespace.popen([sys.executable, str(SERVER_SCRIPT),
                                        str(self.folder / "config.json")],
                                       stdin=subprocess.DEVNULL, stdout=self._output,
                                       stderr=subprocess.STDOUT)
        try:
            self._wait_ready()
        except BaseException:
            self.close()
            raise

    def _wait_ready(self):
        deadline = time.monotonic() + self.READY_TIMEOUT
        while not any(event["event"] == "ready" for event in self.events()):
            if self.process.poll() is not None or time.monotonic() > deadline:
                output = (self.folder / "output.txt").read_text(errors="replace")
                raise RuntimeError(f"lab server did not start:\n{output}")
            time.sleep(0.02)

    def events(self, since=0):
        """The logged events from number `since` on (a number taken from `mark`)."""
        if not self.log.exists():
            return []
        lines = self.log.read_text(encoding="utf-8").splitlines()
        return [json.loads(line) for line in lines[since:] if line.strip()]

    def mark(self):
        return len(self.events())

    def close(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=3)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self._output.close()


class NativeRunner:
    def command(self, program, arguments):
        return [str(program), *arguments]

    def close(self):
        return []


class LabNamespace:
    """A namespace with the lab's hosts and trust, at most one server at a time, and whatever
    the build needs to run programs there (Wine's server for the Windows build)."""

    def __init__(self, lab, addresses):
        self.lab = lab
        self.server = None
        self.runner = None
        self.problems = []
        self._servers = 0
        self.namespace = Namespace(lab.host, addresses, lab.pki.root)
        try:
            self.runner = (WineServer(self.namespace, lab.wine_prefix) if lab.wine_prefix
                           else NativeRunner())
        except BaseException:
            self.close()
            raise

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.close()
        return False

    @property
    def name(self):
        return self.namespace.name

    def start_server(self, setup):
        self.stop_server()
        self._servers += 1
        folder = self.lab.work / f"{self.name}-server{self._servers}-{setup.name}"
        folder.mkdir()
        self.server = ServerProcess(self.namespace, self.lab.server_config(setup), folder)
        return self.server

    def stop_server(self):
        if self.server:
            self.server.close()
            self.server = None

    def accepted_connections(self):
        """How many TCP connections the kernel has set up for listeners in this namespace so far
        (its Tcp PassiveOpens count). Unlike a server's log, which a server thread writes some
        time after, the count has risen before the client could send anything: the way to tell
        that a program made no connection at all."""
        snmp = self.namespace.run(["cat", "/proc/net/snmp"], check=True).stdout
        names, values = (line.split() for line in snmp.splitlines() if line.startswith("Tcp:"))
        return int(values[names.index("PassiveOpens")])

    def run(self, program, arguments, timeout, env=None):
        """Runs a program of the build inside the namespace; `env` adds variables."""
        command = self.runner.command(program, arguments)
        started = time.monotonic()
        # Output goes through files, not pipes: a helper process Wine leaves running must not
        # keep us waiting for the end of a pipe.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            completed = self.namespace.run(command, stdin=subprocess.DEVNULL, stdout=out,
                                           stderr=err, capture_output=False, timeout=timeout,
                                           env={**self.lab.program_env, **(env or {})})
            seconds = time.monotonic() - started
            out.seek(0)
            err.seek(0)
            return ProgramRun(command, completed.returncode,
                              out.read().decode("utf-8", errors="replace"),
                              err.read().decode("utf-8", errors="replace"), seconds)

    def close(self):
        """Ends the server, Wine and every process left inside, then removes the namespace.
        Keeps in `problems`, and returns, what could not be cleaned up."""
        with shielded():
            self.stop_server()
            if self.runner:
                self.problems += self.runner.close()
                self.runner = None
            self.problems += self.namespace.close()
        return self.problems


class Lab:
    def __init__(self, build, build_dir, keep=False, wine_prefix=None):
        self.build = build
        self.build_dir = Path(build_dir).resolve()
        self.keep = keep
        self._wine_source = wine_prefix or os.environ.get("WINEPREFIX") or TOP / "build/wineprefix"
        self._mounts = []
        self.work = None
        self.wine_prefix = None

    def __enter__(self):
        if not self.build_dir.is_dir():
            raise RuntimeError(f"no build folder {self.build_dir}: build it first")
        self.host = cdn_host(self.build_dir)
        self.libcurl_version = linked_libcurl_version(self.build_dir)
        self._sweep_dead_runs()
        self.work = Path(tempfile.mkdtemp(prefix=f"{WORK_PREFIX}{os.getpid()}-",
                                          dir=self.build_dir))
        try:
            self.pki = Pki(self.work / "pki", self.host)
            if self.build == "windows":
                self.wine_prefix = WinePrefix(self._wine_source, self.work)
        except BaseException:
            self.__exit__()
            raise
        return self

    def __exit__(self, *_):
        with shielded():
            for folder in self._mounts:
                unmount(folder)
            if self.work and not self.keep:
                shutil.rmtree(self.work, ignore_errors=True)
        return False

    def full_folder(self, name, size=16384):
        """A folder on a file system of its own with no room left, so that every write there
        fails as on a full disk. Made before the lab's namespaces, each of which starts with a
        copy of the machine's mounts, so every program sees it (Wine's server included, which
        opens files for its programs); unmounted when the lab ends."""
        folder = self.work / name
        folder.mkdir()
        subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={size},mode=0777", "tmpfs",
                        str(folder)], check=True, capture_output=True)
        self._mounts.append(folder)
        (folder / "filler").write_bytes(bytes(size))
        return folder

    def fuse_folder(self, name):
        """A folder on a FUSE mount (bindfs over a folder of the work folder): like vfat, exFAT,
        NFS and SMB, it cannot hold an unnamed file, so a program has to write its files in place
        there. Made before the lab's namespaces, as `full_folder` is; unmounted when the lab
        ends, which also ends bindfs."""
        source, folder = self.work / f"{name}-source", self.work / name
        source.mkdir()
        folder.mkdir()
        subprocess.run(["bindfs", str(source), str(folder)], check=True, capture_output=True)
        self._mounts.append(folder)
        return folder

    @property
    def program_env(self):
        return self.wine_prefix.env if self.wine_prefix else dict(os.environ)

    def _sweep_dead_runs(self):
        """A run killed outright leaves its namespaces and work folder (with a Wine prefix
        copy) behind; the next run removes them."""
        removed = sweep_dead_runs()
        for folder in self.build_dir.glob(f"{WORK_PREFIX}*"):
            ours = re.fullmatch(rf"{WORK_PREFIX}\d+-\w+", folder.name) and folder.is_dir()
            if ours and not owner_alive(folder.name):
                for mount in mounts_below(folder):
                    unmount(mount)
                shutil.rmtree(folder, ignore_errors=True)
                removed.append(str(folder))
        if removed:
            print(f"removed leftovers of killed lab runs: {', '.join(removed)}", flush=True)

    def program(self, relative):
        path = self.build_dir / (relative + (".exe" if self.build == "windows" else ""))
        if not path.is_file():
            raise RuntimeError(f"{path} is missing: build the {self.build} tree first")
        return path

    def namespace(self, addresses):
        return LabNamespace(self, tuple(addresses))

    def tls_config(self, chain_name, settings):
        chain = self.pki.chains[chain_name]
        tls = {"chain": str(chain.pem), "key": str(chain.key), **settings}
        if "client_certificate" in tls:
            tls.setdefault("client_ca", str(self.pki.root))
        return tls

    def server_config(self, setup):
        """The server's JSON configuration. A per-connection entry may name its own `chain`
        and `tls` settings; what it leaves out comes from the setup."""
        connections = [{**{k: v for k, v in entry.items() if k != "chain"},
                        "tls": self.tls_config(entry.get("chain", setup.chain),
                                               entry.get("tls", setup.tls))}
                       if "chain" in entry or "tls" in entry else entry
                       for entry in setup.extra.get("connections", [])]
        return {"listen": [{"address": address, "port": 443} for address in setup.listen],
                "lifetime": 150, "tls": self.tls_config(setup.chain, setup.tls),
                "routes": setup.routes, **setup.extra, "connections": connections}

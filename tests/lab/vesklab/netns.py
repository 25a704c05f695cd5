"""A private network namespace in which the CDN host resolves to lab addresses and the lab root is
trusted, without touching the machine's own /etc/hosts or /etc/ssl.

`ip netns exec` mounts every file found in /etc/netns/<name>/ over its namesake in /etc, for the
command it starts only: hosts, resolv.conf and the whole ssl folder (a copy of the machine's trust
store plus the lab root; OpenSSL and Wine's root store both read it).
"""
import os
import secrets
import shutil
import signal
import subprocess
import time
from pathlib import Path

from .shield import shielded

NAME_PREFIX = "vesklab-"
ETC_NETNS = Path("/etc/netns")
RUN_NETNS = Path("/run/netns")


def ip(*arguments, check=True):
    return subprocess.run(["ip", *arguments], check=check, capture_output=True, text=True)


def owner_alive(name):
    """Lab names carry the PID of the run that made them: vesklab-<pid>-<random>."""
    try:
        os.kill(int(name.split("-")[1]), 0)
    except (IndexError, ValueError, ProcessLookupError):
        return False
    except PermissionError:
        pass
    return True


def sweep_dead_runs():
    """Removes namespaces and /etc/netns folders left by lab runs that were killed outright
    (SIGKILL gives no chance to clean up). Returns the names removed."""
    listed = ip("netns", "list", check=False).stdout.split("\n")
    names = {line.split()[0] for line in listed if line.startswith(NAME_PREFIX)}
    if ETC_NETNS.is_dir():
        names |= {path.name for path in ETC_NETNS.iterdir() if path.name.startswith(NAME_PREFIX)}
    dead = sorted(name for name in names if not owner_alive(name))
    for name in dead:
        Namespace.adopt(name).close()
    return dead


class Namespace:
    """Owns one namespace and its /etc/netns folder; `close` ends every process inside it,
    deletes the namespace and removes the folder, and is safe to call more than once."""

    def __init__(self, host, addresses, trust_root):
        self.name = f"{NAME_PREFIX}{os.getpid()}-{secrets.token_hex(3)}"
        self.etc = ETC_NETNS / self.name
        try:
            self._create(host, addresses, Path(trust_root))
        except BaseException:
            self.close()
            raise

    def _create(self, host, addresses, trust_root):
        self.etc.mkdir(parents=True)
        self._write_hosts(host, addresses)
        # Nothing answers on port 53 inside the namespace unless a scenario listens there: a
        # name that is not in hosts then fails at once instead of waiting for the machine's
        # resolver. A scenario whose server takes the lookups and never answers holds them for
        # longer than any of the program's time limits.
        (self.etc / "resolv.conf").write_text(
            "nameserver 127.0.0.1\noptions timeout:30 attempts:1\n")
        self._write_trust_store(trust_root)
        ip("netns", "add", self.name)
        # ::1 exists only while IPv6 is enabled in the namespace, and some hosts disable it by
        # default; enable it before the loopback comes up so that ::1 is assigned. A kernel
        # without IPv6 has no such switch, which matters only if ::1 is needed (checked below).
        self.run(["sh", "-c", "for f in /proc/sys/net/ipv6/conf/all/disable_ipv6 "
                  "/proc/sys/net/ipv6/conf/lo/disable_ipv6; do echo 0 > $f; done 2>/dev/null"])
        self.run(["ip", "link", "set", "lo", "up"], check=True)
        if "::1" in addresses and "::1" not in self.run(["ip", "-6", "addr", "show", "lo"]).stdout:
            raise RuntimeError(f"{self.name}: ::1 is not available (IPv6 disabled in the kernel?)")

    @classmethod
    def adopt(cls, name):
        """Takes over an existing lab namespace, only to close it."""
        namespace = cls.__new__(cls)
        namespace.name = name
        namespace.etc = ETC_NETNS / name
        return namespace

    @property
    def exists(self):
        # Asked of the system, not remembered: a signal between `ip netns add` and any flag we
        # set must not leave a namespace that close() thinks was never made.
        return (RUN_NETNS / self.name).exists()

    def _write_hosts(self, host, addresses):
        lines = ["127.0.0.1 localhost", "::1 localhost ip6-localhost ip6-loopback"]
        lines += [f"{address} {host}" for address in addresses]
        (self.etc / "hosts").write_text("\n".join(lines) + "\n")

    def _write_trust_store(self, trust_root):
        ssl = self.etc / "ssl"
        shutil.copytree("/etc/ssl", ssl, symlinks=True)
        bundle = ssl / "certs" / "ca-certificates.crt"
        machine_bundle = Path("/etc/ssl/certs/ca-certificates.crt").read_text()
        # Replace, never append in place: should the copied name be a link, appending would
        # write through it into the machine's own store.
        bundle.unlink(missing_ok=True)
        root = trust_root.read_text()
        bundle.write_text(machine_bundle.rstrip("\n") + "\n" + root)
        subject_hash = subprocess.run(
            ["openssl", "x509", "-hash", "-noout", "-in", str(trust_root)],
            check=True, capture_output=True, text=True).stdout.strip()
        suffix = 0
        while (ssl / "certs" / f"{subject_hash}.{suffix}").exists():
            suffix += 1
        (ssl / "certs" / f"{subject_hash}.{suffix}").write_text(root)

    def argv(self, command):
        return ["ip", "netns", "exec", self.name, *command]

    def run(self, command, check=False, **options):
        options.setdefault("capture_output", True)
        options.setdefault("text", True)
        return subprocess.run(self.argv(command), check=check, **options)

    def popen(self, command, **options):
        return subprocess.Popen(self.argv(command), **options)

    def pids(self):
        if not self.exists:
            return []
        return [int(pid) for pid in ip("netns", "pids", self.name, check=False).stdout.split()]

    def end_processes(self, grace=2.0):
        """End everything that still runs inside: TERM first, KILL what is left after `grace`."""
        for sig in (signal.SIGTERM, signal.SIGKILL):
            pids = self.pids()
            for pid in pids:
                try:
                    os.kill(pid, sig)
                except ProcessLookupError:
                    pass
            deadline = time.monotonic() + grace
            while self.pids() and time.monotonic() < deadline:
                time.sleep(0.05)
        return not self.pids()

    def close(self):
        with shielded():
            return self._remove()

    def _remove(self):
        problems = []
        if self.exists:
            if not self.end_processes():
                problems.append(f"processes survive in {self.name}: {self.pids()}")
            ip("netns", "delete", self.name, check=False)
            if self.exists:
                problems.append(f"namespace {self.name} could not be deleted")
        shutil.rmtree(self.etc, ignore_errors=True)
        if self.etc.exists():
            problems.append(f"{self.etc} could not be removed")
        return problems

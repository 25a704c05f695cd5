"""Running the Windows build under Wine inside a lab namespace.

Wine makes every socket in its wineserver process, so a program reaches the namespace's network
only when the wineserver runs in that namespace too. A prefix has at most one wineserver, and
Debian's Wine records where that server's socket lives inside the prefix itself; so the lab works
on a private copy of the prefix that scripts/setup made, and nobody else's wineserver (unit tests,
other runs) can be picked up by, or disturbed by, the lab's programs.
"""
import os
import subprocess
from pathlib import Path


def windows_path(path):
    """The name a Wine program knows a Unix path by: Wine maps the whole Unix tree to drive Z:."""
    return "Z:" + str(path).replace("/", "\\")


class WinePrefix:
    """A private copy of a Wine prefix, with the environment that selects it."""

    def __init__(self, source, folder):
        source = Path(source)
        if not (source / "system.reg").is_file():
            raise RuntimeError(f"no Wine prefix at {source}: run scripts/setup first")
        self.path = Path(folder) / "wineprefix"
        subprocess.run(["cp", "-a", "--reflink=auto", str(source), str(self.path)], check=True)
        # The copy must find no server of the original: drop the record of its socket folder.
        (self.path / "wineserver").unlink(missing_ok=True)
        socket_parent = Path(folder) / "wine-tmp"
        socket_parent.mkdir(mode=0o700)
        self.env = {
            **os.environ,
            "WINEPREFIX": str(self.path),
            "WINEARCH": "win64",
            "WINEDEBUG": "-all",
            # No Mono/Gecko installers, no desktop menu entries written for the copy.
            "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d",
            # Debian's wineserver puts its socket folder under TMPDIR: keep it in our folder.
            "TMPDIR": str(socket_parent),
        }
        self.env.pop("DISPLAY", None)


class WineServer:
    """The wineserver of one namespace: started persistent inside it, ended before the namespace
    goes away. Service processes Wine starts there are ended by the namespace itself."""

    def __init__(self, namespace, prefix):
        self.namespace = namespace
        self.prefix = prefix
        self._started = False
        # The server detaches into the background: it must not inherit a pipe we wait on.
        # Persistent, but only for a minute after its last program: should the suite be killed
        # outright, Wine still goes away by itself.
        namespace.run(["wineserver", "-p60"], check=True, env=prefix.env, capture_output=False,
                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self._started = True
        # Start Wine's service processes now, detached from any output we read, so the first
        # program's time and output are its own.
        namespace.run(["wine", "cmd", "/c", "exit"], env=prefix.env, timeout=120,
                      stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                      stderr=subprocess.DEVNULL, capture_output=False)

    def command(self, program, arguments):
        return ["wine", str(program), *arguments]

    def close(self):
        if not self._started:
            return []
        self._started = False
        problems = []
        for flag in ("-k", "-w"):
            try:
                self.namespace.run(["wineserver", flag], env=self.prefix.env, timeout=15,
                                   capture_output=False, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
            except subprocess.TimeoutExpired:
                problems.append(f"wineserver {flag} timed out in {self.namespace.name}")
        return problems

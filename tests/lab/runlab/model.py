"""What a scenario says about a run: each connection mode's fetches and summary, and what the
certificate section shows for each probed address."""
from dataclasses import dataclass, field

from vesklab.lab import BOTH, ServerSetup
from vesklab.suite import FailureCategory as C

from runlab.texts import REJECTED, VERIFIED

V4, V6 = BOTH
# The peer of a system-chosen fetch while the lab host has both addresses. libcurl resolves A and
# AAAA separately and starts connecting once the AAAA answer is in or a short delay has passed,
# then tries the other family after the happy-eyeballs delay: either address may win, fetch by
# fetch. The judge reads which one from the report.
SYSTEM_CHOSEN = "either lab address"


@dataclass(frozen=True)
class ProbeFailed:
    """A probe that ends in its one failure line; `step` and `code` are patterns."""
    step: str
    code: str = r"0x[0-9A-F]{8}"


SERVER_CHAIN = "server chain"     # a probe that shows the block of the chain the server presents
HANDSHAKE_TIMEOUT = ProbeFailed("握手超时", "0x00000102")



@dataclass(frozen=True)
class Fetch:
    """One fetch. Its certificate word is always the empty-detail one: no lab failure carries a
    Windows error name (under Wine, Schannel does not check certificates)."""
    curl: int = 0
    status: int = 200
    peer: str = ""


@dataclass(frozen=True)
class Mode:
    """One connection mode: its fetches as the diagnostic lines show them, and its summary."""
    manifest: Fetch
    category: C
    detail: str = ""
    signature: Fetch = None    # None: the signature was not fetched


def verified(peer, verdict=C.OK):
    return Mode(Fetch(peer=peer), verdict, VERIFIED if verdict == C.OK else REJECTED,
                signature=Fetch(peer=peer))


def manifest_failed(curl, status, category, peer=""):
    return Mode(Fetch(curl, status, peer), category)


def signature_failed(curl, status, category, peer):
    return Mode(Fetch(peer=peer), category, signature=Fetch(curl, status, peer))


def both(mode_at):
    """The same outcome in both modes: IPv4-only reaches 127.0.0.1, system-chosen either address."""
    return (mode_at(V4), mode_at(SYSTEM_CHOSEN))


# Where a case's report goes: the lab's work folder, a folder that does not exist, a disk with no
# room left, or a FUSE mount, which cannot hold an unnamed file.
REPORTS, MISSING_FOLDER, FULL_DISK, FUSE = "reports", "missing folder", "full disk", "fuse"


@dataclass(frozen=True)
class Scenario:
    name: str
    about: str
    server: ServerSetup        # None: nothing listening
    modes: tuple               # (IPv4-only, system-chosen)
    advice: str                # a key of ADVICE
    addresses: tuple = BOTH
    probes: tuple = None       # per probed address, in order; a run that reaches fewer addresses
                               # takes the first ones. None: SERVER_CHAIN for every one
    seconds: tuple = None      # (lowest, highest) wall time of the program, when bounded
    folder: str = REPORTS      # where the report goes
    windows: dict = field(default_factory=dict)   # fields that differ under Wine


@dataclass(frozen=True)
class FileRule:
    """A run whose report cannot be created: exit code 2, nothing written or changed."""
    name: str
    about: str
    existing: bytes = None     # the earlier file at the report path; None: there is none
    folder: str = REPORTS      # where the report goes
    addresses: tuple = BOTH
    server: ServerSetup = None

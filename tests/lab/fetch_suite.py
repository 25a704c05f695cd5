#!/usr/bin/env python3
"""Fetch scenarios: the real fetchUrl, through tests/lab/fetch-tool, against lab servers.

    python3 tests/lab/fetch_suite.py --build native|windows [--build-dir DIR] [--only TEXT] [--keep] [--verbose]

Run as root. Prints one line per case and ends with `lab-fetch-<build>: N passed, M failed`;
the exit code is non-zero when a case failed.

Each case checks the outcome the program printed against the table, the plausibility of its
timings against each other and against the wall clock, and the server's log: whether a
connection was made, which paths were requested and how (user agent, HTTP/1.1, server name).
"""
import hashlib
import re
import sys
from dataclasses import dataclass, field, replace
from pathlib import Path

sys.dont_write_bytecode = True   # no __pycache__ in the source tree
sys.path.insert(0, str(Path(__file__).resolve().parent))

from vesklab.lab import BOTH, ServerSetup, route  # noqa: E402
from vesklab.suite import TICK_MS, FailureCategory as C, Verdict, elapsed_problems, main  # noqa: E402
from runlab.texts import MANIFEST_TARGET  # noqa: E402

CAP = 1024
TOOL = "tests/lab/fetch-tool"
TOOL_TIMEOUT = 60
USER_AGENT = "VeskAutoPatch"
LATE_LOOKUP_MS = 3000

# How far a client got, as the server's log shows it.
NOTHING = "no connection"
TCP = "connected, no request"
REQUEST = "request made"


def pattern(size, seed=0):
    """Bytes that do not repeat in short cycles, so a body that arrives shifted or mangled
    cannot match by chance."""
    return bytes((i * 131 + seed * 17 + (i >> 8)) % 256 for i in range(size))


@dataclass(frozen=True)
class Expect:
    curl: int
    status: int
    category: C
    reached: str = REQUEST
    body: bytes = None          # the body the outcome must hold; None: no body
    peer: str = None            # None: see expected_peers
    elapsed: tuple = None       # (lowest, highest) elapsedMs, when the case bounds it
    least_lookup: int = None    # the least dnsMs, when the case bounds it
    seconds: float = None       # the most the whole program may take, when the case bounds it


@dataclass(frozen=True)
class FetchCase:
    name: str
    server: ServerSetup
    expect: Expect
    path: str = "/manifest.json"
    addresses: tuple = BOTH
    mode: str = "ipv4"
    options: tuple = ()
    cap: int = CAP
    windows: dict = field(default_factory=dict)   # fields of `expect` that differ under Wine
    never_requested: tuple = ()
    confirm: object = None      # confirm(space, host, events) -> problems: proves the case tests
                                # something; events: the server's log since the program started


BODY = pattern(700)


def asked_the_lab_resolver(space, host, events):
    """A lookup left unanswered, or answered late, proves nothing unless it reached the lab's
    resolver."""
    del space, host
    asked = any(event["event"] == "dns-query" for event in events)
    return [] if asked else ["no name lookup reached the lab's resolver"]


def ended_before_the_answer(space, host, events):
    """A program cancelled during a late lookup must end without waiting for the answer, which
    the resolver logs before sending it; the log is read once the program has ended."""
    problems = asked_the_lab_resolver(space, host, events)
    if any(event["event"] == "dns-answer" for event in events):
        problems.append("the resolver answered before the program ended")
    return problems


def answers_tls11(space, host, events):
    """A refused TLS 1.1 server proves nothing unless it really speaks TLS 1.1 (OpenSSL 3 refuses
    it at its default security level): a TLS 1.1 client must complete a handshake."""
    del events
    mark = space.server.mark()
    space.namespace.run(["openssl", "s_client", "-connect", "127.0.0.1:443", "-servername", host,
                         "-tls1_1", "-cipher", "DEFAULT:@SECLEVEL=0"], input="", timeout=10)
    versions = [e["version"] for e in space.server.events(mark) if e["event"] == "handshake"]
    return [] if versions == ["TLSv1.1"] else [f"a TLS 1.1 client got handshakes {versions}"]


def build_cases(host):
    cdn = ServerSetup("cdn", routes={
        "/manifest.json": route(200, BODY),
        "/cap-exact": route(200, pattern(CAP, 1)),
        "/cap-plus-one": route(200, pattern(CAP + 1, 2)),
        "/cap-plus-one-unannounced": route(200, pattern(CAP + 1, 3), content_length="omit"),
        "/empty": route(200, b""),
        "/not-found-over-cap": route(404, pattern(4 * CAP, 4)),
        "/moved-301": route(301, b"", headers={"Location": f"https://{host}/redirect-target"}),
        "/moved-302": route(302, b"", headers={"Location": "/redirect-target"}),
        "/redirect-target": route(200, BODY),
        "/forbidden": route(403, b"forbidden"),
        "/unavailable": route(503, b"unavailable"),
        "/truncated": route(200, pattern(500, 5), content_length=1000),
        "/close": route(action="close"),
        "/stall": route(action="stall", seconds=30),
        "/trickle": route(200, pattern(1000, 6), trickle={"bytes": 10, "interval": 0.1}),
    })

    def only(name, chain="good", **settings):
        return ServerSetup(name, chain=chain, routes={"/manifest.json": route(200, BODY)},
                           **settings)

    def cert_case(chain):
        # Native: OpenSSL's texts name no Windows error, so every refusal is 60 and CertOther.
        # Windows under Wine: Schannel does not check the server's certificate, so the fetch
        # succeeds; the certificate categories are covered by the classification unit tests
        # with Schannel's texts and by the certificate path inspection.
        return FetchCase(f"certificate: {chain}", only(chain, chain),
                         Expect(60, 0, C.CERT_OTHER, reached=TCP),
                         windows=dict(curl=0, status=200, category=C.OK, reached=REQUEST,
                                      body=BODY))

    redirect = dict(never_requested=("/redirect-target",))
    v6_server = only("ipv6-only", listen=("::1",))
    reset = only("reset-after-hello", extra={"handshake": "reset-after-hello"})
    # The name is not in hosts, and the namespace's resolver takes the lookup and never answers.
    silent_dns = ServerSetup("silent-dns", extra={"dns": "silent"})
    # The same, but the resolver answers each lookup after 3 s with the server's addresses.
    late_dns = only("late-dns", extra={"dns": "late", "dns_delay": LATE_LOOKUP_MS / 1000})
    # With both families asked, libcurl connects to whichever answer suits it first: one address
    # makes the peer certain.
    late_dns_v6 = replace(late_dns, name="late-dns-ipv6", listen=("::1",))
    # A cancelled fetch returns at once; the program then ends without waiting for its resolver
    # thread, which the system's lookup would hold for 30 s. Under Wine the program's own start
    # takes up to 2.5 s on a busy machine, so there the wall time shows only that; for the late
    # answer the resolver's log shows the program ended before it.
    cancel_in_lookup = dict(curl=42, status=0, category=C.CANCELLED, reached=NOTHING,
                            elapsed=(480, 1000), seconds=1.5)
    cancel_in_lookup_windows = dict(seconds=10)
    return [
        FetchCase("200 with a body", cdn, Expect(0, 200, C.OK, body=BODY)),
        FetchCase("200 with a body, system-chosen addressing", cdn, Expect(0, 200, C.OK, body=BODY),
                  mode="system"),
        FetchCase("body of exactly the cap", cdn, Expect(0, 200, C.OK, body=pattern(CAP, 1)),
                  path="/cap-exact"),
        FetchCase("cap + 1, length announced", cdn, Expect(63, 200, C.MANIFEST_INVALID),
                  path="/cap-plus-one"),
        # libcurl also holds a transfer in progress to CURLOPT_MAXFILESIZE_LARGE: it stops with 63
        # before the write callback is offered the byte over the cap.
        FetchCase("cap + 1, length not announced", cdn, Expect(63, 200, C.MANIFEST_INVALID),
                  path="/cap-plus-one-unannounced"),
        FetchCase("200 with an empty body", cdn, Expect(0, 200, C.MANIFEST_INVALID), path="/empty"),
        FetchCase("404 with a body over the cap", cdn, Expect(63, 404, C.HTTP_STATUS),
                  path="/not-found-over-cap"),
        FetchCase("301 is reported, not followed", cdn, Expect(0, 301, C.HTTP_STATUS),
                  path="/moved-301", **redirect),
        FetchCase("302 is reported, not followed", cdn, Expect(0, 302, C.HTTP_STATUS),
                  path="/moved-302", **redirect),
        FetchCase("403", cdn, Expect(0, 403, C.HTTP_STATUS), path="/forbidden"),
        FetchCase("503", cdn, Expect(0, 503, C.HTTP_STATUS), path="/unavailable"),
        # The server ends both with close_notify. Wine's Schannel passes it on as "no data"
        # instead of SEC_I_CONTEXT_EXPIRED, so libcurl reads on to the end of the connection and
        # reports a connection closed without close_notify: 56, the same category.
        FetchCase("truncated body", cdn, Expect(18, 200, C.TRANSFER_INCOMPLETE), path="/truncated",
                  windows=dict(curl=56)),
        FetchCase("closed without a response", cdn, Expect(52, 0, C.TRANSFER_INCOMPLETE),
                  path="/close", windows=dict(curl=56)),
        FetchCase("server stalls: total time limit", cdn,
                  Expect(28, 0, C.TIMEOUT, elapsed=(19900, 21000)), path="/stall"),
        FetchCase("cancel set before the call", cdn,
                  Expect(42, 0, C.CANCELLED, reached=NOTHING, elapsed=(0, 0)),
                  options=("--cancel-before",)),
        FetchCase("cancel during a slow transfer", cdn,
                  Expect(42, 200, C.CANCELLED, elapsed=(480, 1500)),
                  path="/trickle", options=("--cancel-after-ms", "500")),
        FetchCase("nothing listening", None, Expect(7, 0, C.CONNECT_FAILED, reached=NOTHING)),
        FetchCase("TLS 1.1-only server", only("tls11", tls={
            "min_version": "TLSv1_1", "max_version": "TLSv1_1", "ciphers": "DEFAULT:@SECLEVEL=0"}),
            Expect(35, 0, C.TLS_OTHER, reached=TCP), confirm=answers_tls11),
        # The reset socket no longer knows its peer, yet the connection was made: its address is
        # kept for the certificate section.
        *[FetchCase(f"reset after the ClientHello, {mode}", reset,
                    Expect(35, 0, C.TLS_OTHER, reached=TCP), mode=mode) for mode in ("ipv4", "system")],
        *[cert_case(chain) for chain in ("expired", "not-yet-valid", "wrong-name", "self-signed",
                                         "untrusted-root", "missing-intermediate")],
        FetchCase("IPv6-only server, IPv4-only mode", v6_server,
                  Expect(7, 0, C.CONNECT_FAILED, reached=NOTHING)),
        FetchCase("IPv6-only server, system-chosen mode", v6_server,
                  Expect(0, 200, C.OK, body=BODY, peer="::1"), mode="system"),
        FetchCase("no name", None, Expect(6, 0, C.DNS_FAILED, reached=NOTHING), addresses=()),
        # libcurl's connect time limit covers the lookup; the program leaves its resolver thread
        # to the system instead of waiting for it.
        FetchCase("name lookup never answered", silent_dns,
                  Expect(28, 0, C.TIMEOUT, reached=NOTHING, elapsed=(14900, 16000), seconds=17),
                  addresses=(), confirm=asked_the_lab_resolver),
        FetchCase("cancel during a name lookup never answered", silent_dns,
                  Expect(**cancel_in_lookup), addresses=(), options=("--cancel-after-ms", "500"),
                  windows=cancel_in_lookup_windows, confirm=asked_the_lab_resolver),
        # libcurl stamps the lookup before it connects only where one address family is asked.
        FetchCase("name lookup answered late", late_dns,
                  Expect(0, 200, C.OK, body=BODY, least_lookup=LATE_LOOKUP_MS - TICK_MS),
                  addresses=(), confirm=asked_the_lab_resolver),
        FetchCase("cancel during a name lookup answered late", late_dns,
                  Expect(**cancel_in_lookup), addresses=(), options=("--cancel-after-ms", "500"),
                  windows=cancel_in_lookup_windows, confirm=ended_before_the_answer),
        # With both asked it may stamp the lookup late or never, but nothing connects before an
        # answer is in.
        FetchCase("name lookup answered late, system-chosen addressing", late_dns_v6,
                  Expect(0, 200, C.OK, body=BODY, peer="::1",
                         elapsed=(LATE_LOOKUP_MS - TICK_MS, 15000)),
                  addresses=(), mode="system", confirm=asked_the_lab_resolver),
    ]


def parse_outcome(stdout):
    outcome = {}
    for line in stdout.splitlines():
        key, separator, value = line.rstrip("\r").partition("=")
        if separator:
            outcome[key] = value
    return outcome


NUMERIC = ("mode", "curlCode", "httpStatus", "elapsedMs", "category", "bodyBytes", "dnsMs",
           "connectMs", "tlsMs")


def expected_peers(case, expect):
    """The peers the outcome may name. Once connected, IPv4-only mode reaches 127.0.0.1; with both
    families asked, libcurl connects to whichever answers and connects first, so system-chosen
    mode may reach any of the lab host's addresses."""
    if expect.peer is not None:
        return (expect.peer,)
    if expect.reached == NOTHING:
        return ("",)
    return ("127.0.0.1",) if case.mode == "ipv4" else case.addresses


def outcome_problems(case, expect, outcome):
    body = expect.body or b""
    wanted = {
        "mode": 1 if case.mode == "ipv4" else 0,
        "curlCode": expect.curl,
        "httpStatus": expect.status,
        "category": int(expect.category),
        "detail": "",
        "target": MANIFEST_TARGET,
        "bodyBytes": len(body),
        "bodySha256": hashlib.sha256(body).hexdigest().upper() if body else "",
    }
    problems = [f"{key}: expected {value!r}, got {outcome.get(key)!r}"
                for key, value in wanted.items() if outcome.get(key) != value]
    peers = expected_peers(case, expect)
    if outcome.get("peerIp") not in peers:
        problems.append(f"peerIp: expected one of {peers}, got {outcome.get('peerIp')!r}")
    return problems


def phase_order(mode):
    """The pairs of phase times whose order libcurl guarantees where both were recorded. The
    handshake always follows the connect. The name lookup precedes the connect only when one
    address family is asked: with both, libcurl connects as soon as the first usable answer is in
    and stamps the lookup when the last one arrives, which may be after the connect, after the
    handshake, or never."""
    order = [("connectMs", "tlsMs")]
    if mode == "ipv4":
        order.insert(0, ("dnsMs", "connectMs"))
    return order


def timing_problems(case, expect, outcome, wall_ms):
    problems = []
    dns, connect, tls, elapsed = (outcome[key]
                                  for key in ("dnsMs", "connectMs", "tlsMs", "elapsedMs"))
    for first, second in phase_order(case.mode):
        a, b = outcome[first], outcome[second]
        if a and b and a > b:
            problems.append(f"{first} {a} > {second} {b}")
    if expect.reached == NOTHING and (connect or tls):
        problems.append(f"no connection was made, yet connectMs={connect} tlsMs={tls}")
    if expect.reached == TCP and tls:
        problems.append(f"the handshake failed, yet tlsMs={tls}")
    if expect.least_lookup and dns < expect.least_lookup:
        problems.append(f"dnsMs {dns} < {expect.least_lookup}")
    if max(dns, connect, tls) > elapsed + TICK_MS:
        problems.append(f"a phase time exceeds elapsedMs {elapsed}")
    if expect.seconds and wall_ms > expect.seconds * 1000:
        problems.append(f"the program took {wall_ms:.0f} ms, more than {expect.seconds} s")
    return problems + elapsed_problems(elapsed, wall_ms, expect.elapsed)


def log_problems(case, expect, events, accepted, host):
    # Only connections opened during this case: a previous case's connection may still be
    # logging its end.
    connections = [e for e in events if e["event"] == "connection"]
    opened = {e["conn"] for e in connections}
    events = [e for e in events if e.get("conn") in opened]
    requests = [e for e in events if e["event"] == "request"]
    problems = [f"{path} was requested" for path in case.never_requested
                if any(r["path"] == path for r in requests)]
    if expect.reached == NOTHING and (connections or accepted):
        problems.append(f"the kernel set up {accepted} connection(s), "
                        f"the server logged {len(connections)}")
    if expect.reached == TCP and (not connections or requests):
        problems.append(f"expected a connection and no request: {len(connections)} connection(s), "
                        f"requests {[r['path'] for r in requests]}")
    if expect.reached == REQUEST:
        if [r["path"] for r in requests] != [case.path]:
            problems.append(f"expected one request for {case.path}, "
                            f"got {[r['path'] for r in requests]}")
        for request in requests:
            sent = (request["user_agent"], request["version"], request["host"])
            if sent != (USER_AGENT, "HTTP/1.1", host):
                problems.append(f"request sent as {request}")
        for handshake in (e for e in events if e["event"] == "handshake"):
            if handshake["sni"] != host:
                problems.append(f"server name sent: {handshake['sni']!r}")
    return problems


def judge(case, expect, run, events, accepted, space, host):
    """Returns (problems, summary) for one run of the program."""
    outcome = parse_outcome(run.stdout)
    unreadable = [key for key in NUMERIC if not re.fullmatch(r"-?\d+", outcome.get(key, ""))]
    if run.returncode != 0 or unreadable:
        return [f"exit code {run.returncode}, unreadable fields {unreadable}"], "no outcome"
    for key in NUMERIC:
        outcome[key] = int(outcome[key])
    problems = (outcome_problems(case, expect, outcome)
                + timing_problems(case, expect, outcome, run.seconds * 1000)
                + log_problems(case, expect, events, accepted, host)
                + (case.confirm(space, host, events) if case.confirm else []))
    summary = (f"curl={outcome['curlCode']} http={outcome['httpStatus']} "
               f"category={outcome['category']} {outcome['elapsedMs']} ms")
    return problems, summary


def run_case_for(lab):
    tool = lab.program(TOOL)

    def run_case(space, case):
        expect = replace(case.expect, **case.windows) if lab.build == "windows" else case.expect
        mark = space.server.mark() if space.server else 0
        accepted = space.accepted_connections()
        url = f"https://{lab.host}{case.path}"
        run = space.run(tool, [url, case.mode, str(case.cap), *case.options], TOOL_TIMEOUT)
        accepted = space.accepted_connections() - accepted
        events = space.server.events(mark) if space.server else []
        problems, summary = judge(case, expect, run, events, accepted, space, lab.host)
        return Verdict.judged(problems, summary, run, events)

    return run_case


if __name__ == "__main__":
    sys.exit(main("lab-fetch", __doc__.split("\n")[0], build_cases, run_case_for))

"""The table of scenarios: the servers each one starts and what the report must then say. Adding
a scenario is adding a row to build_cases."""
import json
import subprocess
from dataclasses import replace

from vesklab.lab import TOP, ServerSetup, route
from vesklab.pki import CHAINS
from vesklab.suite import FailureCategory as C

from runlab.model import (FULL_DISK, FUSE, HANDSHAKE_TIMEOUT, MISSING_FOLDER, SERVER_CHAIN, SYSTEM_CHOSEN,
                          V4, V6, FileRule, ProbeFailed, Scenario, both, manifest_failed,
                          signature_failed, verified)
from runlab.texts import ADVICE, READER_NAMES

SIGNING_KEY = TOP / "tests/keys/manifest-test.key.pem"
MANIFEST = (TOP / "tests/data/minimal-manifest.json").read_bytes()
MANIFEST_CAP = 16 * 1024 * 1024


def sign(data):
    return subprocess.run(["openssl", "dgst", "-sha256", "-sign", str(SIGNING_KEY)], input=data,
                          capture_output=True, check=True).stdout


def published_routes():
    """The manifest and its signature, as the update CDN publishes them."""
    return {"/manifest.json": route(200, MANIFEST), "/manifest.json.sig": route(200, sign(MANIFEST))}


def build_cases(host):
    published = published_routes()

    def server(name, chain="good", routes=None, **settings):
        return ServerSetup(name, chain=chain, routes=published if routes is None else routes,
                           **settings)

    def manifest_answer(name, answer):
        return server(name, routes={"/manifest.json": answer})

    unsupported = json.dumps({**json.loads(MANIFEST), "schemaVersion": 2}).encode()
    cdn = server("cdn")
    status_cases = [
        ("forbidden-403", 403, "refused"), ("unavailable-503", 503, "unavailable"),
        ("moved-301", 301, "redirect"), ("teapot-418", 418, "other status")]

    def certificate(chain):
        # Native: OpenSSL's texts carry no Windows names, so every refusal is CertOther. Under Wine
        # Schannel does not check the server's certificate, so both modes verify the manifest; the
        # certificate section still shows what the chain engine thinks of the chain.
        return Scenario(f"cert-{chain}", f"the server presents the {chain} chain",
                        server(f"cert-{chain}", chain),
                        both(lambda peer: manifest_failed(60, 0, C.CERT_OTHER, peer)),
                        "unknown cause",
                        windows=dict(modes=both(verified), advice="all ok"))

    return [
        Scenario("ok", "manifest and signature verified over IPv4 and IPv6", cdn, both(verified),
                 "all ok"),
        FileRule("report-exists", "the report file exists already",
                 existing=b"an earlier report\n", server=cdn),
        Scenario("ok-on-fuse", "as ok, with the report on a FUSE mount, which has no unnamed files",
                 cdn, both(verified), "all ok", folder=FUSE),
        FileRule("report-exists-on-fuse", "the report file exists already on a FUSE mount",
                 existing=b"an earlier report\n", server=cdn, folder=FUSE),
        Scenario("ipv6-only", "the server listens on ::1 only: only system-chosen addressing works",
                 server("ipv6-only", listen=(V6,)),
                 (manifest_failed(7, 0, C.CONNECT_FAILED), verified(V6)), "system-chosen worked"),
        Scenario("system-mode-cut",
                 "the system-chosen manifest request is closed unanswered: only IPv4-only works",
                 server("system-mode-cut", extra={"connections": [
                     {}, {}, {"routes": {"/manifest.json": route(action="close")}}]}),
                 (verified(V4), manifest_failed(52, 0, C.TRANSFER_INCOMPLETE, SYSTEM_CHOSEN)),
                 "IPv4 worked",
                 windows=dict(modes=(verified(V4),
                                     manifest_failed(56, 0, C.TRANSFER_INCOMPLETE, SYSTEM_CHOSEN)))),
        Scenario("manifest-404", "no manifest on the server",
                 server("manifest-404", routes={}),
                 both(lambda peer: manifest_failed(0, 404, C.HTTP_STATUS, peer)), "not found"),
        Scenario("signature-404", "the manifest without its signature",
                 manifest_answer("signature-404", route(200, MANIFEST)),
                 both(lambda peer: signature_failed(0, 404, C.HTTP_STATUS, peer)), "not found"),
        *[Scenario(name, f"the manifest request is answered with {status}",
                   manifest_answer(name, route(status, b"", headers=(
                       {"Location": f"https://{host}/elsewhere.json"} if status == 301 else {}))),
                   both(lambda peer, status=status:
                        manifest_failed(0, status, C.HTTP_STATUS, peer)),
                   advice)
          for name, status, advice in status_cases],
        Scenario("bad-signature", "the signature is a valid one over other bytes",
                 server("bad-signature", routes={**published, "/manifest.json.sig": route(
                     200, sign(MANIFEST + b" "))}),
                 both(lambda peer: verified(peer, C.SIGNATURE_INVALID)), "manifest"),
        Scenario("schema-invalid", "a correctly signed manifest of schema version 2",
                 server("schema-invalid", routes={
                     "/manifest.json": route(200, unsupported),
                     "/manifest.json.sig": route(200, sign(unsupported))}),
                 both(lambda peer: verified(peer, C.MANIFEST_INVALID)), "manifest"),
        Scenario("empty-body", "the manifest is answered 200 with an empty body",
                 manifest_answer("empty-body", route(200, b"")),
                 both(lambda peer: manifest_failed(0, 200, C.MANIFEST_INVALID, peer)), "manifest"),
        Scenario("oversized", "the manifest announces one byte over 16 MiB",
                 manifest_answer("oversized",
                                 route(200, MANIFEST, content_length=MANIFEST_CAP + 1)),
                 both(lambda peer: manifest_failed(63, 200, C.MANIFEST_INVALID, peer)), "manifest"),
        Scenario("oversized-unannounced", "a manifest one byte over 16 MiB, without Content-Length",
                 manifest_answer("oversized-unannounced",
                                 route(200, b" " * (MANIFEST_CAP + 1), content_length="omit")),
                 both(lambda peer: manifest_failed(63, 200, C.MANIFEST_INVALID, peer)), "manifest"),
        # Wine's Schannel passes the server's close_notify on as "no data", so libcurl reads on to
        # the end of the connection and reports 56, the same category.
        Scenario("truncated", "the manifest ends 100 bytes short of its Content-Length",
                 manifest_answer("truncated",
                                 route(200, MANIFEST, content_length=len(MANIFEST) + 100)),
                 both(lambda peer: manifest_failed(18, 200, C.TRANSFER_INCOMPLETE, peer)),
                 "incomplete",
                 windows=dict(modes=both(
                     lambda peer: manifest_failed(56, 200, C.TRANSFER_INCOMPLETE, peer)))),
        Scenario("tls11-only", "the server speaks TLS 1.1 only",
                 server("tls11-only", tls={"min_version": "TLSv1_1", "max_version": "TLSv1_1",
                                           "ciphers": "DEFAULT:@SECLEVEL=0"}),
                 both(lambda peer: manifest_failed(35, 0, C.TLS_OTHER, peer)), "unknown cause",
                 probes=(ProbeFailed("读取服务器握手"),) * 2),
        # The reset socket no longer knows its peer; the connection was made all the same, so the
        # certificate section probes each address, whose handshake is reset in turn.
        Scenario("reset-after-hello", "the server reads the ClientHello and resets the connection",
                 server("reset-after-hello", extra={"handshake": "reset-after-hello"}),
                 both(lambda peer: manifest_failed(35, 0, C.TLS_OTHER, peer)), "unknown cause",
                 probes=(ProbeFailed("接收握手数据"),) * 2),
        *[certificate(chain) for chain in CHAINS if chain != "good"],
        Scenario("probe-stall",
                 "the fetches are answered, then the first probe's handshake never is",
                 server("probe-stall", extra={"connections": [{}] * 4 + [{"handshake": "hang"}]}),
                 both(verified), "all ok", probes=(HANDSHAKE_TIMEOUT, SERVER_CHAIN),
                 seconds=(5.9, 30)),
        Scenario("nothing-listening", "the name resolves, but no server listens", None,
                 both(lambda _: manifest_failed(7, 0, C.CONNECT_FAILED)), "no connection"),
        FileRule("report-folder-missing", "the report file's folder does not exist",
                 folder=MISSING_FOLDER),
        FileRule("report-disk-full", "the report file's disk has no room left", folder=FULL_DISK),
        Scenario("no-name", "the name does not resolve", None,
                 both(lambda _: manifest_failed(6, 0, C.DNS_FAILED)), "no connection",
                 addresses=()),
    ]


def for_build(case, build):
    if build == "windows" and isinstance(case, Scenario):
        return replace(case, **case.windows)
    return case


def check_table_covers_advice(cases):
    """The table must reach every advice text of ADVICE in both builds, and the reader must have a
    name for each."""
    if set(READER_NAMES) != set(ADVICE):
        raise RuntimeError("the reader's advice names and the advice texts differ")
    for build in ("native", "windows"):
        reached = {for_build(case, build).advice for case in cases if isinstance(case, Scenario)}
        missing = sorted(set(ADVICE) - reached)
        if missing:
            raise RuntimeError(f"no {build} scenario gives the advice {missing}")


def checked_cases(host):
    cases = build_cases(host)
    check_table_covers_advice(cases)
    return cases

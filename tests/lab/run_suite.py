#!/usr/bin/env python3
"""The whole program, end to end: the real vesk-check, headless, against lab servers.

    python3 tests/lab/run_suite.py --build native|windows [--build-dir DIR] [--only TEXT] [--keep] [--verbose]
    python3 tests/lab/run_suite.py --list
    python3 tests/lab/run_suite.py --scenario NAME [--build native|windows] [--build-dir DIR]
                                   [--report FILE]

Run as root. The table runs `vesk-check --report FILE` once per case inside a lab namespace, prints
one line per case and ends with `lab-run-<build>: N passed, M failed`; the exit code is non-zero
when a case failed.

Each case checks the whole report file: the byte-order mark and UTF-16LE, then every line, exactly
where the text is fixed (header, scope block, advice, the fixed fields of every diagnostic line,
the certificate section with the names and fingerprints of the lab's certificates, the final
classification lines, footer) and by pattern where the value is the platform's (time stamps, which
must fall within the run, system and component texts, timings, socket and TLS codes). The table
covers every advice text that each build can reach; the rest (certificate categories, which only
Schannel's texts name, and the texts of an unfinished run) belong to the unit tests. Two more cases
hold the file rules: an existing report file and a missing folder both give exit code 2, and
nothing is written.

`--scenario NAME` runs one scenario once (the report goes to FILE, which must not exist), prints
whether the report is what the scenario expects, and exits with the program's exit code;
`--list` names the scenarios.
"""
import argparse
import datetime
import hashlib
import json
import re
import ssl
import subprocess
import sys
import time
import traceback
from dataclasses import dataclass, field, replace
from pathlib import Path

sys.dont_write_bytecode = True   # no __pycache__ in the source tree
sys.path.insert(0, str(Path(__file__).resolve().parent))

from vesklab.chain_views import CHAIN_VIEWS, WINE_CHAIN_VIEWS, chain_lines, failure_pattern  # noqa: E402
from vesklab.lab import BOTH, DEFAULT_HOST, TOP, Lab, ServerSetup, route  # noqa: E402
from vesklab.pki import AUTHORITIES, CHAINS  # noqa: E402
from vesklab.suite import TICK_MS, FailureCategory as C, SignalGuard, Verdict, main  # noqa: E402
from vesklab.wine import windows_path  # noqa: E402

PROGRAM = "app/vesk-check"
SIGNING_KEY = TOP / "tests/keys/manifest-test.key.pem"
MANIFEST = (TOP / "tests/data/minimal-manifest.json").read_bytes()
MANIFEST_CAP = 16 * 1024 * 1024
# Worst case of one run: two 20 s transfer limits and two 6 s probes, plus Wine's start.
PROGRAM_TIMEOUT = 90
V4, V6 = "127.0.0.1", "::1"

# ---- The report's fixed texts -------------------------------------------------------------------

HEADER = "Vesk 更新连接检测工具 1.0.3（基于更新器 1.1.5）"
STAMP = r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d"
SCOPE = ("范围：GET 清单及签名；直连；证书和主机名校验开启；验证清单签名及格式。",
         "未覆盖：系统代理、WinHTTP 路径、全部 CDN 节点、游戏文件下载/磁盘/权限/安装、自更新通道。",
         "环境：不判定杀毒软件或网络设备是否正在拦截 HTTPS；不判定系统损坏。",
         "时间：仅记录本机时间；未与独立可信时间源比对，不能据此认定时钟正确或错误。")
SYSTEM = {"native": re.escape("系统：Windows（版本检测失败，不执行系统修改）"),
          "windows": r"系统：(Windows (7|8|8\.1|10|11)|Windows（未验证版本）)( SP\d+)? / "
                     r"(x64|x86|其他架构（尚未验收）) / 构建 \d+"}
# The libcurl the build links, with the TLS back end of its platform.
COMPONENTS = {"native": r"下载组件：{version} / OpenSSL/\S+", "windows": r"下载组件：{version} / Schannel"}
CERTIFICATE_HEADING = ("证书路径自动检查：按实际连接 IP 去重，再用相同主机名独立发起 TLS 1.2 握手。"
                       "同一 IP 的两次连接也可能收到不同证书。各层状态来自本机 Windows，原请求结果见上。")
NO_ADDRESS = "未取得可检查的连接地址。"
FOOTER = ("本工具不修改系统代理、证书、注册表或安全软件，不上传诊断报告。",
          "报告不包含用户名、电脑名、游戏账号或本机文件路径。")
NO_CERTIFICATE_WORD = "未提供可识别的详细标志"
VERIFIED = "清单签名和格式通过"
REJECTED = "清单签名或格式未通过"
MANIFEST_TARGET, SIGNATURE_TARGET = "清单", "清单签名"

CLOSING = "\r\n\r\n需要进一步协助时，请点击“保存检测报告”，在官网提交保存的检测报告。"
IPV4_LABEL = "直连：IPv4 优先，失败自动切换"
SYSTEM_LABEL = "直连：系统自动选择 IPv4/IPv6"


def one_mode_worked(label):
    return ("有一种连接方式成功，另一种失败。\r\n\r\n请重新打开更新器，在连接方式中尝试“" + label
            + "”，再点重试。\r\n如果仍然失败，请在官网提交检测报告；暂时不需要重装系统。" + CLOSING)


# Every advice text a headless run in the lab can reach, in either build.
ADVICE = {
    "all ok": "本次检测已成功连接更新服务器。\r\n\r\n请关闭更新器后重新打开，再试一次。\r\n"
              "如果更新器仍然失败，请在官网提交本报告和更新器的诊断编号。\r\n"
              "本次已检查安全连接、清单和签名，不代表游戏文件已下载或更新完成。" + CLOSING,
    "IPv4 worked": one_mode_worked(IPV4_LABEL),
    "system-chosen worked": one_mode_worked(SYSTEM_LABEL),
    "no connection": "检测发现：暂时无法连接更新服务器。\r\n\r\n1. 打开浏览器，确认其他网页能正常访问。\r\n"
                     "2. 如果网页也打不开，请先恢复网络连接。\r\n"
                     "3. 如果其他网页正常，稍后重试一次；仍失败请在官网提交检测报告。\r\n"
                     "已经试过手机热点的，不需要重复更换网络。" + CLOSING,
    "not found": "检测发现：服务器上的更新文件不存在。\r\n\r\n"
                 "请在官网提交检测报告，等待更新文件恢复。无需修复电脑或重装系统。" + CLOSING,
    "refused": "检测发现：更新地址拒绝了访问。\r\n\r\n"
               "请在官网提交检测报告，以便核对访问限制；无需自行安装证书。" + CLOSING,
    "unavailable": "检测发现：服务器暂时不可用或请求受到限制。\r\n\r\n"
                   "请稍后再试，不要连续点击重试。如果仍然失败，请在官网提交检测报告。" + CLOSING,
    "redirect": "检测发现：更新地址要求跳转到其他位置。\r\n\r\n"
                "为避免访问错误的下载地址，本工具没有继续跳转。请在官网提交检测报告，无需修改电脑设置。"
                + CLOSING,
    "other status": "安全连接已通过，但服务器没有返回正常的更新响应。\r\n\r\n"
                    "请在官网提交检测报告，以便检查更新地址。无需安装证书或修复系统。" + CLOSING,
    "incomplete": "检测发现：更新文件传输没有完成。\r\n\r\n"
                  "请稍后重新检测一次。仍然失败时，请在官网提交检测报告；已经换过网络的，不用反复尝试。"
                  + CLOSING,
    "manifest": "检测发现：更新清单或签名未通过检查。\r\n\r\n"
                "请暂停更新，在官网提交检测报告，等待更新文件核查。不要使用来源不明的替代文件。" + CLOSING,
    "unknown cause": "本次检测未通过，现有信息还不能确定具体原因。\r\n\r\n"
                     "请在官网提交检测报告，以便继续检查。暂时不用重装系统、安装修复软件或继续关闭杀毒软件。"
                     + CLOSING,
}

# ---- What the certificate section shows ---------------------------------------------------------


@dataclass(frozen=True)
class ProbeFailed:
    """A probe that ends in its one failure line; `step` and `code` are patterns."""
    step: str
    code: str = r"0x[0-9A-F]{8}"


SERVER_CHAIN = "server chain"     # a probe that shows the block of the chain the server presents
HANDSHAKE_TIMEOUT = ProbeFailed("握手超时", "0x00000102")

# ---- The table ----------------------------------------------------------------------------------


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
    """The same outcome in both modes: IPv4-only reaches 127.0.0.1, system-chosen ::1."""
    return (mode_at(V4), mode_at(V6))


@dataclass(frozen=True)
class Scenario:
    name: str
    about: str
    server: ServerSetup        # None: nothing listening
    modes: tuple               # (IPv4-only, system-chosen)
    advice: str                # a key of ADVICE
    addresses: tuple = BOTH
    probes: tuple = None       # per probed address; None: SERVER_CHAIN for every one
    seconds: tuple = None      # (lowest, highest) wall time of the program, when bounded
    windows: dict = field(default_factory=dict)   # fields that differ under Wine


@dataclass(frozen=True)
class FileRule:
    """A run whose report cannot be created: exit code 2, nothing written or changed."""
    name: str
    about: str
    existing: bytes = None     # the earlier file at the report path; None: its folder is missing
    full_disk: bool = False    # the report path is on a disk with no room left
    addresses: tuple = BOTH
    server: ServerSetup = None


def sign(data):
    return subprocess.run(["openssl", "dgst", "-sha256", "-sign", str(SIGNING_KEY)], input=data,
                          capture_output=True, check=True).stdout


def build_cases(host):
    signature = sign(MANIFEST)
    published = {"/manifest.json": route(200, MANIFEST),
                 "/manifest.json.sig": route(200, signature)}

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
        Scenario("ipv6-only", "the server listens on ::1 only: only system-chosen addressing works",
                 server("ipv6-only", listen=(V6,)),
                 (manifest_failed(7, 0, C.CONNECT_FAILED), verified(V6)), "system-chosen worked"),
        Scenario("system-mode-cut",
                 "the system-chosen manifest request is closed unanswered: only IPv4-only works",
                 server("system-mode-cut", extra={"connections": [
                     {}, {}, {"routes": {"/manifest.json": route(action="close")}}]}),
                 (verified(V4), manifest_failed(52, 0, C.TRANSFER_INCOMPLETE, V6)), "IPv4 worked",
                 windows=dict(modes=(verified(V4),
                                     manifest_failed(56, 0, C.TRANSFER_INCOMPLETE, V6)))),
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
        *[certificate(chain) for chain in CHAINS if chain != "good"],
        Scenario("probe-stall",
                 "the fetches are answered, then the first probe's handshake never is",
                 server("probe-stall", extra={"connections": [{}] * 4 + [{"handshake": "hang"}]}),
                 both(verified), "all ok", probes=(HANDSHAKE_TIMEOUT, SERVER_CHAIN),
                 seconds=(5.9, 30)),
        Scenario("nothing-listening", "the name resolves, but no server listens", None,
                 both(lambda _: manifest_failed(7, 0, C.CONNECT_FAILED)), "no connection"),
        FileRule("report-folder-missing", "the report file's folder does not exist"),
        FileRule("report-disk-full", "the report file's disk has no room left", full_disk=True),
        Scenario("no-name", "the name does not resolve", None,
                 both(lambda _: manifest_failed(6, 0, C.DNS_FAILED)), "no connection",
                 addresses=()),
    ]


def for_build(case, build):
    if build == "windows" and isinstance(case, Scenario):
        return replace(case, **case.windows)
    return case


def check_table_covers_advice(cases):
    """The table must reach every advice text of ADVICE in both builds."""
    for build in ("native", "windows"):
        reached = {for_build(case, build).advice for case in cases if isinstance(case, Scenario)}
        missing = sorted(set(ADVICE) - reached)
        if missing:
            raise RuntimeError(f"no {build} scenario gives the advice {missing}")


def checked_cases(host):
    cases = build_cases(host)
    check_table_covers_advice(cases)
    return cases


# ---- The expected report ------------------------------------------------------------------------


class Certificates:
    """Names and SHA-256 fingerprints of the lab's certificates, as the report shows them."""

    def __init__(self, pki_folder, host):
        self.folder = Path(pki_folder)
        self.host = host

    def layer(self, chain, certificate):
        """(subject, issuer, fingerprint) of a layer of `chain`."""
        if certificate == "leaf":
            leaf = CHAINS[chain]
            subject = leaf.name.format(host=self.host)
            issuer = subject if leaf.issuer == "self" else AUTHORITIES[leaf.issuer][0]
            file = f"leaf-{chain}.pem"
        else:
            subject, issuer_name, _ = AUTHORITIES[certificate]
            issuer = subject if issuer_name == "self" else AUTHORITIES[issuer_name][0]
            file = f"{certificate}.pem"
        der = ssl.PEM_cert_to_DER_cert((self.folder / file).read_text())
        return subject, issuer, hashlib.sha256(der).hexdigest().upper()


def probe_block(probe, scenario, views, certificates):
    if probe == SERVER_CHAIN:
        chain = scenario.server.chain
        return chain_lines(views[chain], lambda certificate: certificates.layer(chain, certificate))
    return [failure_pattern(probe.step, probe.code)]


def fetch_log(scenario):
    """(mode word, target, fetch) of every fetch, in the order the run makes them."""
    words = ("IPv4 直连", "自动选择地址直连")
    log = []
    for word, mode in zip(words, scenario.modes):
        log.append((word, MANIFEST_TARGET, mode.manifest))
        if mode.signature:
            log.append((word, SIGNATURE_TARGET, mode.signature))
    return log


def diagnostic_line(word, target, fetch):
    fixed = [f"{word}；对象={target}；curl={fetch.curl}；HTTP={fetch.status}；耗时=",
             "ms；DNS/TCP/TLS累计毫秒=", "/", "/",
             f"（0表示未记录）；对端={fetch.peer}；证书分类={NO_CERTIFICATE_WORD}"]
    return re.compile(r"(\d+)".join(map(re.escape, fixed)))


def certificate_section(scenario, host, views, certificates):
    peers = list(dict.fromkeys(fetch.peer for _, _, fetch in fetch_log(scenario) if fetch.peer))
    probes = scenario.probes or (SERVER_CHAIN,) * len(peers)
    if len(probes) != len(peers):
        raise RuntimeError(f"{scenario.name}: {len(probes)} probes for the addresses {peers}")
    lines = [CERTIFICATE_HEADING]
    for peer, probe in zip(peers, probes):
        lines.append(f"对端 {peer} / {host}")
        lines += probe_block(probe, scenario, views, certificates)
    return lines if peers else lines + [NO_ADDRESS]


def expected_lines(scenario, build, host, libcurl, certificates):
    """Each line of the report: a text it must equal, or a pattern it must match. The report ends
    with a line break, hence the last, empty line."""
    views = WINE_CHAIN_VIEWS if build == "windows" else CHAIN_VIEWS
    lines = [HEADER, re.compile(f"检测开始：{STAMP} UTC"), re.compile(f"电脑显示时间：{STAMP}（电脑本地时间）"),
             re.compile(SYSTEM[build]), f"目标：https://{host}/manifest.json", *SCOPE,
             re.compile(COMPONENTS[build].format(version=re.escape(libcurl))), "", "给玩家的建议：", *ADVICE[scenario.advice].split("\r\n"),
             "", "详细诊断记录：", *(diagnostic_line(*entry) for entry in fetch_log(scenario)), "",
             *certificate_section(scenario, host, views, certificates)]
    for label, mode in zip(("IPv4", "自动地址"), scenario.modes):
        lines.append(f"{label}最终分类={int(mode.category)}；{mode.detail}")
    return lines + ["", *FOOTER, ""]


# ---- Judging a run ------------------------------------------------------------------------------


def decode_report(data):
    """The report's text, or raises ValueError saying what is wrong with the bytes."""
    if data[:2] != b"\xff\xfe":
        raise ValueError(f"the file does not begin with FF FE: {data[:2].hex(' ')}")
    if len(data) % 2:
        raise ValueError(f"odd file length {len(data)}")
    return data[2:].decode("utf-16-le")   # strict: a lone surrogate is an error


def line_problems(text, expected):
    if re.search(r"\r(?!\n)|(?<!\r)\n", text):
        return ["a line break other than CR LF"]
    lines = text.split("\r\n")
    for number, (line, wanted) in enumerate(zip(lines, expected), 1):
        if isinstance(wanted, str) and line != wanted:
            return [f"line {number}: expected {wanted!r}", f"line {number}:      got {line!r}"]
        if not isinstance(wanted, str) and not wanted.fullmatch(line):
            return [f"line {number}: expected the pattern {wanted.pattern!r}",
                    f"line {number}:                  got {line!r}"]
    if len(lines) != len(expected):
        return [f"{len(lines)} lines where {len(expected)} were expected"]
    return []


def stamp_problems(text, started, ended):
    """Both time stamps must name a second of the run: UTC in the start line, local time next."""
    problems = []
    utc = re.search(f"检测开始：({STAMP}) UTC\r\n", text)
    local = re.search(f"电脑显示时间：({STAMP})（电脑本地时间）", text)
    for name, match, zone in (("UTC", utc, datetime.timezone.utc), ("local", local, None)):
        try:
            stamp = datetime.datetime.strptime(match.group(1), "%Y-%m-%d %H:%M:%S")
        except (AttributeError, ValueError):
            problems.append(f"no readable {name} time stamp")
            continue
        lowest = datetime.datetime.fromtimestamp(int(started) - 1, zone).replace(tzinfo=None)
        highest = datetime.datetime.fromtimestamp(int(ended) + 1, zone).replace(tzinfo=None)
        if not lowest <= stamp <= highest:
            problems.append(f"{name} time stamp {stamp} outside the run ({lowest} to {highest})")
    return problems


def timing_problems(text, scenario, seconds):
    elapsed = sum(int(ms) for ms in re.findall(r"；耗时=(\d+)ms；", text))
    fetches = len(fetch_log(scenario))
    problems = []
    if elapsed > seconds * 1000 + TICK_MS * fetches:
        problems.append(f"the fetches took {elapsed} ms, more than the run's {seconds:.3f} s")
    if scenario.seconds and not scenario.seconds[0] <= seconds <= scenario.seconds[1]:
        problems.append(f"the run took {seconds:.2f} s, outside {scenario.seconds}")
    return problems


def report_problems(scenario, lab, certificates, data, started, ended, seconds):
    try:
        text = decode_report(data)
    except ValueError as error:
        return [str(error)], ""
    expected = expected_lines(scenario, lab.build, lab.host, lab.libcurl_version, certificates)
    return (line_problems(text, expected) + stamp_problems(text, started, ended)
            + timing_problems(text, scenario, seconds)), text


class Runner:
    """Runs the program of one lab and judges what it did."""

    def __init__(self, lab):
        self.lab = lab
        self.program = lab.program(PROGRAM)
        self.reports = lab.work / "reports"
        self.reports.mkdir(exist_ok=True)
        self.certificates = Certificates(lab.pki.folder, lab.host)
        self.full_folder = lab.full_folder("full-disk")
        # What the last case did, for a caller that runs one scenario on its own.
        self.exit_code = None
        self.problems = []

    def path_argument(self, path):
        return windows_path(path) if self.lab.build == "windows" else str(path)

    def run_program(self, space, report):
        started = time.time()
        run = space.run(self.program, ["--report", self.path_argument(report)], PROGRAM_TIMEOUT)
        self.exit_code = run.returncode
        return run, started, time.time()

    def run_case(self, space, case, report=None):
        case = for_build(case, self.lab.build)
        if isinstance(case, FileRule):
            return self.run_file_rule(space, case)
        report = Path(report).absolute() if report else self.reports / f"{case.name}.txt"
        run, started, ended = self.run_program(space, report)
        summary = f"exit {run.returncode}, {run.seconds:.2f} s"
        if run.returncode != 0 or not report.is_file():
            self.problems = [f"exit code {run.returncode}, report written: {report.is_file()}"]
            return Verdict(False, summary, "\n".join([*self.problems, run.stdout + run.stderr]))
        self.problems, text = report_problems(case, self.lab, self.certificates, report.read_bytes(),
                                              started, ended, run.seconds)
        categories = "/".join(str(int(mode.category)) for mode in case.modes)
        return Verdict(not self.problems, f"{summary}, categories {categories}",
                       "\n".join([*self.problems, "report:", text.replace("\r\n", "\n")]))

    def run_file_rule(self, space, case):
        if case.full_disk:
            report = self.full_folder / f"{case.name}.txt"
        elif case.existing is None:
            report = self.reports / "missing-folder" / "report.txt"
        else:
            report = self.reports / f"{case.name}.txt"
            report.write_bytes(case.existing)
        run, _, _ = self.run_program(space, report)
        problems = [] if run.returncode == 2 else [f"exit code {run.returncode}, expected 2"]
        if case.full_disk and report.exists():
            problems.append("a half-written report was left on the full disk")
        elif case.existing is None and not case.full_disk and report.parent.exists():
            problems.append(f"{report.parent} was created")
        if case.existing is not None and report.read_bytes() != case.existing:
            problems.append("the existing report file was changed")
        return Verdict(not problems, f"exit {run.returncode}, {run.seconds:.2f} s",
                       "\n".join([*problems, run.stdout + run.stderr]))


def run_case_for(lab):
    return Runner(lab).run_case


# ---- One scenario on its own --------------------------------------------------------------------


def scenarios():
    return [case for case in checked_cases(DEFAULT_HOST) if isinstance(case, Scenario)]


def list_scenarios():
    for scenario in scenarios():
        print(f"{scenario.name:<26} {scenario.about}")
    return 0


def one_scenario_arguments():
    parser = argparse.ArgumentParser(description="Runs one scenario of the table once.")
    parser.add_argument("--build", choices=("native", "windows"), default="native")
    parser.add_argument("--build-dir", help="build folder (default: build/<build>)")
    parser.add_argument("--scenario", help="the scenario's name (see --list)")
    parser.add_argument("--list", action="store_true", help="name every scenario and stop")
    parser.add_argument("--report", help="where the program writes its report (must not exist); "
                                         "default: the lab's work folder, removed afterwards")
    options = parser.parse_args()
    if not options.list and not options.scenario:
        parser.error("name a scenario with --scenario NAME, or use --list")
    return options


def run_one_scenario(options):
    """Returns the program's exit code, or 1 when the lab could not run it."""
    if options.scenario not in {scenario.name for scenario in scenarios()}:
        print(f"no scenario {options.scenario!r}; --list names them", file=sys.stderr)
        return 1
    if options.report and Path(options.report).exists():
        print(f"{options.report} exists, and the program never overwrites a file", file=sys.stderr)
        return 1
    build_dir = options.build_dir or TOP / "build" / options.build
    with SignalGuard(), Lab(options.build, build_dir) as lab:
        scenario = next(case for case in checked_cases(lab.host)
                        if isinstance(case, Scenario) and case.name == options.scenario)
        runner = Runner(lab)
        space = lab.namespace(scenario.addresses)
        try:
            if scenario.server:
                space.start_server(scenario.server)
            verdict = runner.run_case(space, scenario, options.report)
        finally:
            for problem in space.close():
                print(f"clean-up: {problem}", file=sys.stderr)
        outcome = "as the scenario expects" if verdict.passed else "NOT as the scenario expects"
        print(f"lab scenario {scenario.name} ({options.build}): report {outcome}; "
              f"{verdict.summary}")
        for problem in runner.problems:
            print(f"  {problem}")
        return 1 if runner.exit_code is None else runner.exit_code


def scenario_mode():
    names = {argument.split("=")[0] for argument in sys.argv[1:]}
    return bool(names & {"--scenario", "--list"})


if __name__ == "__main__":
    if scenario_mode():
        options = one_scenario_arguments()
        try:
            sys.exit(list_scenarios() if options.list else run_one_scenario(options))
        except Exception:
            traceback.print_exc()
            sys.exit(1)
    sys.exit(main("lab-run", __doc__.split("\n")[0], checked_cases, run_case_for))

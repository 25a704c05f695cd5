"""The report a scenario expects, line by line: texts it must equal and patterns it must match."""
import hashlib
import re
import ssl
from dataclasses import replace
from pathlib import Path

from vesklab.chain_views import CHAIN_VIEWS, WINE_CHAIN_VIEWS, chain_lines, failure_pattern
from vesklab.pki import AUTHORITIES, CHAINS

from runlab.model import SERVER_CHAIN, SYSTEM_CHOSEN
from runlab.texts import (ADVICE, CERTIFICATE_HEADING, COMPATIBILITY, COMPONENTS, FOOTER, HEADER, MANIFEST_TARGET,
                          NO_ADDRESS, NO_CERTIFICATE_WORD, SCOPE, SIGNATURE_TARGET, STAMP, SYSTEM)


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


REPORTED_PEER = re.compile(r"；对端=([^；\r\n]*)；证书分类=")


def with_reported_peers(scenario, text):
    """The scenario with each system-chosen peer settled to the address the report names for that
    fetch, when that is one of the lab host's addresses. Any other address leaves the marker, and
    that fetch's diagnostic line then fails."""
    reported = iter(REPORTED_PEER.findall(text))

    def settled(fetch):
        peer = next(reported, "")
        if fetch.peer == SYSTEM_CHOSEN and peer in scenario.addresses:
            return replace(fetch, peer=peer)
        return fetch

    modes = []
    for mode in scenario.modes:   # in the order of the diagnostic lines: manifest, then signature
        manifest = settled(mode.manifest)
        signature = settled(mode.signature) if mode.signature else None
        modes.append(replace(mode, manifest=manifest, signature=signature))
    return replace(scenario, modes=tuple(modes))


def diagnostic_line(word, target, fetch):
    fixed = [f"{word}；对象={target}；curl={fetch.curl}；HTTP={fetch.status}；耗时=",
             "ms；DNS/TCP/TLS累计毫秒=", "/", "/",
             f"（0表示未记录）；对端={fetch.peer}；证书分类={NO_CERTIFICATE_WORD}"]
    return re.compile(r"(\d+)".join(map(re.escape, fixed)))


def certificate_section(scenario, host, views, certificates):
    peers = list(dict.fromkeys(fetch.peer for _, _, fetch in fetch_log(scenario) if fetch.peer))
    probes = (scenario.probes or (SERVER_CHAIN,) * len(peers))[:len(peers)]
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
             re.compile(SYSTEM[build]), *COMPATIBILITY[build], f"目标：https://{host}/manifest.json", *SCOPE,
             re.compile(COMPONENTS[build].format(version=re.escape(libcurl))), "", "给玩家的建议：", *ADVICE[scenario.advice].split("\r\n"),
             "", "详细诊断记录：", *(diagnostic_line(*entry) for entry in fetch_log(scenario)), "",
             *certificate_section(scenario, host, views, certificates)]
    for label, mode in zip(("IPv4", "自动地址"), scenario.modes):
        lines.append(f"{label}最终分类={int(mode.category)}；{mode.detail}")
    return lines + ["", *FOOTER, ""]

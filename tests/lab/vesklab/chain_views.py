"""The probe's certificate block: how the system judges each chain of the lab PKI, and the lines
the block shows for it, for every suite that checks a block (the probe on its own, and the
report's certificate section).

A view names each layer as "leaf" or an authority of pki.AUTHORITIES; a suite supplies the facts
of a layer (subject, issuer, SHA-256 fingerprint) from the certificate files, in its own way.
"""
import re
from dataclasses import dataclass

INTRO = "Windows 证书路径（独立 TLS 握手，使用本机现有信任和缓存；未单独查询吊销状态）"

NORMAL = "正常"
TIME_INVALID = "0x00000001 有效期异常"
UNTRUSTED_ROOT = "0x00000020 根证书不受信任"
PARTIAL_CHAIN = "0x00010000 路径不完整"


@dataclass(frozen=True)
class ChainView:
    """How the system judges one lab chain: overall status, policy verdict, and each layer of the
    one path as (certificate, status). The lab's chains have one path, so the path line carries
    the chain's status."""
    overall: str
    policy: str
    layers: tuple


TRUSTED_PATH = (("leaf", NORMAL), ("intermediate", NORMAL), ("root", NORMAL))
OUT_OF_TIME = ChainView(TIME_INVALID, "0x800B0101",
                        (("leaf", TIME_INVALID), ("intermediate", NORMAL), ("root", NORMAL)))
CHAIN_VIEWS = {
    "good": ChainView(NORMAL, "0x00000000", TRUSTED_PATH),
    "expired": OUT_OF_TIME,
    "not-yet-valid": OUT_OF_TIME,
    "wrong-name": ChainView(NORMAL, "0x800B010F", TRUSTED_PATH),
    "self-signed": ChainView(UNTRUSTED_ROOT, "0x800B0109", (("leaf", UNTRUSTED_ROOT),)),
    "untrusted-root": ChainView(UNTRUSTED_ROOT, "0x800B0109",
                                (("leaf", NORMAL), ("untrusted-root", UNTRUSTED_ROOT))),
    "missing-intermediate": ChainView(PARTIAL_CHAIN, "0x800B010A", (("leaf", PARTIAL_CHAIN),)),
}
# Wine's SSL policy accepts a chain that lacks its intermediate (0) where Windows reports
# CERT_E_CHAINING (0x800B010A), as the native build does; Wine's chain engine also marks the
# partial chain on the chain and the path only, where the native build marks the leaf's layer too.
WINE_CHAIN_VIEWS = {**CHAIN_VIEWS, "missing-intermediate": ChainView(
    PARTIAL_CHAIN, "0x00000000", (("leaf", NORMAL),))}


def chain_lines(view, layer_facts):
    """The block of a chain judged as `view`; `layer_facts(certificate)` gives a layer's
    (subject, issuer, fingerprint)."""
    lines = [INTRO, f"路径总体状态={view.overall}；主机名和服务器证书策略={view.policy}",
             f"路径 1：{view.overall}"]
    for number, (certificate, status) in enumerate(view.layers, 1):
        subject, issuer, fingerprint = layer_facts(certificate)
        lines.append(f"  第{number}层 {subject}；颁发者={issuer}；状态={status}；SHA-256={fingerprint}")
    return lines


def failure_pattern(step, code):
    """The block of a probe that stopped: one line; `step` and `code` are regular expressions."""
    return re.compile(f"证书路径未取得：{step}（{code}）。")

"""The lab's certificates, made at test time with the openssl CLI so that nothing that expires is
ever committed.

Authorities: a trusted root, an intermediate it signs, and a second root that no trust store
holds. Every leaf shares one key; what differs is its issuer, its names, its validity period and
which certificates the server sends with it (its chain). A suite names a chain by its key in
CHAINS; adding a kind of certificate is adding a row there.
"""
import datetime
import subprocess
from dataclasses import dataclass
from pathlib import Path

DAY = datetime.timedelta(days=1)


@dataclass(frozen=True)
class Leaf:
    issuer: str            # an authority name, or "self" for a self-signed leaf
    name: str              # "{host}" stands for the CDN host
    valid: tuple           # (start, end) as offsets from now
    served_with: tuple     # authorities the server sends after the leaf


CURRENT = (-DAY, 30 * DAY)
CHAINS = {
    "good": Leaf("intermediate", "{host}", CURRENT, ("intermediate",)),
    "expired": Leaf("intermediate", "{host}", (-60 * DAY, -30 * DAY), ("intermediate",)),
    "not-yet-valid": Leaf("intermediate", "{host}", (30 * DAY, 60 * DAY), ("intermediate",)),
    "wrong-name": Leaf("intermediate", "not-{host}", CURRENT, ("intermediate",)),
    "self-signed": Leaf("self", "{host}", CURRENT, ()),
    "untrusted-root": Leaf("untrusted-root", "{host}", CURRENT, ("untrusted-root",)),
    "missing-intermediate": Leaf("intermediate", "{host}", CURRENT, ()),
}

# A chain whose certificate message is larger than the probe takes in (256 KiB): the good chain
# with its intermediate sent this many times (about 900 bytes each).
OVERSIZED_COPIES = 400

# name: (subject, issuer or "self", extension section)
AUTHORITIES = {
    "root": ("Vesk Lab Root CA", "self", "root"),
    "intermediate": ("Vesk Lab Intermediate CA", "root", "intermediate"),
    "untrusted-root": ("Vesk Lab Untrusted Root CA", "self", "root"),
}

OPENSSL_CONFIG = """\
[ca]
default_ca = lab
[lab]
database = index.txt
new_certs_dir = issued
serial = serial
default_md = sha256
policy = any
unique_subject = no
email_in_dn = no
[any]
commonName = supplied
[req]
distinguished_name = dn
prompt = no
[dn]
CN = unused
[root]
basicConstraints = critical,CA:TRUE
keyUsage = critical,keyCertSign,cRLSign
subjectKeyIdentifier = hash
[intermediate]
basicConstraints = critical,CA:TRUE,pathlen:0
keyUsage = critical,keyCertSign,cRLSign
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
"""


@dataclass(frozen=True)
class Chain:
    pem: Path   # the leaf, then what the server sends with it
    key: Path


class Pki:
    """Creates every authority and every chain of CHAINS for `host` in `folder`."""

    def __init__(self, folder, host):
        self.folder = Path(folder)
        self.host = host
        self.folder.mkdir(parents=True)
        (self.folder / "issued").mkdir()
        (self.folder / "openssl.cnf").write_text(OPENSSL_CONFIG)
        (self.folder / "index.txt").write_text("")
        (self.folder / "serial").write_text("1000\n")
        self._now = datetime.datetime.now(datetime.timezone.utc).replace(microsecond=0)
        self._make_keys(["leaf", *AUTHORITIES])
        for name, (subject, issuer, section) in AUTHORITIES.items():
            self._issue(name, subject, issuer, name, (-2 * DAY, 60 * DAY), section)
        self.chains = {name: self._make_chain(name, leaf) for name, leaf in CHAINS.items()}
        self.chains["oversized"] = self._repeated_chain("good", "intermediate", OVERSIZED_COPIES)

    @property
    def root(self):
        """The certificate a lab namespace adds to its trust store."""
        return self.folder / "root.pem"

    def _openssl(self, *arguments):
        subprocess.run(["openssl", *arguments], cwd=self.folder, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)

    def _make_keys(self, names):
        # RSA keys take a moment each; make them side by side.
        runs = [subprocess.Popen(["openssl", "genpkey", "-algorithm", "RSA", "-pkeyopt",
                                  "rsa_keygen_bits:2048", "-out", f"{name}.key"],
                                 cwd=self.folder, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL) for name in names]
        if any(run.wait() != 0 for run in runs):
            raise RuntimeError("openssl genpkey failed")

    def _date(self, offset):
        return (self._now + offset).strftime("%Y%m%d%H%M%SZ")

    def _issue(self, name, subject, issuer, key, valid, section, extension_file=None):
        """Write name.pem: a certificate for `subject` with `key`, signed by `issuer`."""
        self._openssl("req", "-new", "-config", "openssl.cnf", "-key", f"{key}.key",
                      "-subj", f"/CN={subject}", "-out", f"{name}.csr")
        signer = ["-selfsign", "-keyfile", f"{key}.key"] if issuer == "self" else [
            "-cert", f"{issuer}.pem", "-keyfile", f"{issuer}.key"]
        extensions = ["-extfile", extension_file] if extension_file else []
        self._openssl("ca", "-batch", "-notext", "-config", "openssl.cnf", *signer,
                      "-in", f"{name}.csr", "-out", f"{name}.pem",
                      "-startdate", self._date(valid[0]), "-enddate", self._date(valid[1]),
                      *extensions, "-extensions", section)

    def _make_chain(self, name, leaf):
        dns_name = leaf.name.format(host=self.host)
        extension_file = f"{name}.ext"
        (self.folder / extension_file).write_text(
            "[leaf]\n"
            "basicConstraints = critical,CA:FALSE\n"
            "keyUsage = critical,digitalSignature,keyEncipherment\n"
            "extendedKeyUsage = serverAuth\n"
            f"subjectAltName = DNS:{dns_name}\n"
            "subjectKeyIdentifier = hash\n"
            + ("" if leaf.issuer == "self" else "authorityKeyIdentifier = keyid\n"))
        certificate = f"leaf-{name}"
        self._issue(certificate, dns_name, leaf.issuer, "leaf", leaf.valid, "leaf", extension_file)
        pem = self.folder / f"chain-{name}.pem"
        parts = [certificate, *leaf.served_with]
        pem.write_text("".join((self.folder / f"{part}.pem").read_text() for part in parts))
        return Chain(pem=pem, key=self.folder / "leaf.key")

    def _repeated_chain(self, base, authority, copies):
        """The `base` chain followed by `copies` more copies of an authority's certificate."""
        chain = self.chains[base]
        pem = self.folder / f"chain-{base}-{authority}-x{copies}.pem"
        pem.write_text(chain.pem.read_text() + (self.folder / f"{authority}.pem").read_text() * copies)
        return Chain(pem=pem, key=chain.key)

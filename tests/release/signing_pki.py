"""The certificates a release test signs with, made fresh by the openssl CLI for each run and
never kept: a root, a code-signing certificate with its key in a PKCS#12 file whose password is
in a file beside it, and a time-stamping certificate for the local time-stamp server. Both
certificates chain to the one root, so a verifier given that root accepts the signature and its
time stamp, and nothing else does."""
import secrets
import subprocess
from pathlib import Path

ROOT_EXTENSIONS = ("basicConstraints=critical,CA:TRUE", "keyUsage=critical,keyCertSign,cRLSign")
LEAF_EXTENSIONS = "basicConstraints=critical,CA:FALSE\nkeyUsage=critical,digitalSignature\n"


class SigningPki:
    def __init__(self, folder):
        self.folder = Path(folder)
        self.folder.mkdir(parents=True)
        self.root = self.folder / "root.pem"
        self._openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "root.key",
                      "-out", "root.pem", "-days", "2", "-subj", "/CN=Vesk Release Test Root",
                      *(option for extension in ROOT_EXTENSIONS for option in ("-addext", extension)))
        self._issue("signer", "/CN=Vesk Release Test Publisher/O=Vesk Test", "codeSigning")
        self.tsa_certificate, self.tsa_key = self._issue("tsa", "/CN=Vesk Release Test Time Stamps",
                                                         "critical,timeStamping")
        self.password_file = self.folder / "password.txt"
        self.password_file.write_text(secrets.token_hex(16) + "\n")
        self.pkcs12 = self.folder / "signer.p12"
        self._openssl("pkcs12", "-export", "-inkey", "signer.key", "-in", "signer.pem",
                      "-certfile", "root.pem", "-passout", f"file:{self.password_file}",
                      "-out", self.pkcs12.name)

    def _openssl(self, *arguments):
        subprocess.run(["openssl", *arguments], cwd=self.folder, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)

    def _issue(self, name, subject, extended_usage):
        """name.pem and name.key: a certificate for `subject` that the root signs."""
        extensions = self.folder / f"{name}.ext"
        extensions.write_text(LEAF_EXTENSIONS + f"extendedKeyUsage={extended_usage}\n")
        self._openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", f"{name}.key",
                      "-out", f"{name}.csr", "-subj", subject)
        self._openssl("x509", "-req", "-in", f"{name}.csr", "-CA", "root.pem", "-CAkey", "root.key",
                      "-set_serial", str(secrets.randbits(63)), "-days", "2",
                      "-extfile", extensions.name, "-out", f"{name}.pem")
        return self.folder / f"{name}.pem", self.folder / f"{name}.key"

"""A local RFC 3161 time-stamp server for the signing tests: it answers every HTTP POST of a
time-stamp query with `openssl ts -reply`, signed by the test time-stamping certificate. It
listens on a free loopback port and runs in a thread of the suite until the `with` block ends."""
import http.server
import subprocess
import threading
from pathlib import Path

CONFIG = """\
[tsa]
default_tsa = test
[test]
serial = {folder}/serial
crypto_device = builtin
signer_digest = sha256
default_policy = 1.3.6.1.4.1.4146.2.3
digests = sha256, sha384, sha512
accuracy = secs:1
ordering = no
tsa_name = no
ess_cert_id_chain = no
ess_cert_id_alg = sha256
"""


class TimestampServer:
    def __init__(self, folder, pki):
        self.folder = Path(folder)
        self.folder.mkdir(parents=True)
        (self.folder / "serial").write_text("01\n")
        config = self.folder / "tsa.cnf"
        config.write_text(CONFIG.format(folder=self.folder))
        reply = ["openssl", "ts", "-reply", "-config", str(config), "-queryfile", "/dev/stdin",
                 "-inkey", str(pki.tsa_key), "-signer", str(pki.tsa_certificate),
                 "-chain", str(pki.root)]
        self.replies = 0

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_POST(handler):
                query = handler.rfile.read(int(handler.headers["Content-Length"]))
                answer = subprocess.run(reply, input=query, capture_output=True).stdout
                self.replies += 1
                handler.send_response(200 if answer else 500)
                handler.send_header("Content-Type", "application/timestamp-reply")
                handler.send_header("Content-Length", str(len(answer)))
                handler.end_headers()
                handler.wfile.write(answer)

            def log_message(handler, *_):
                pass

        self._server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
        self.url = f"http://127.0.0.1:{self._server.server_port}/"

    def __enter__(self):
        threading.Thread(target=self._server.serve_forever, daemon=True).start()
        return self

    def __exit__(self, *_):
        self._server.shutdown()
        self._server.server_close()
        return False

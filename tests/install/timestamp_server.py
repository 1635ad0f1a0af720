#!/usr/bin/env python3
"""An RFC 3161 timestamp authority on 127.0.0.1 for the signing tests: every POST of a
timestamp query is answered by `openssl ts -reply` with a throwaway authority made at start.

Usage: timestamp_server.py FOLDER PORTFILE
Writes FOLDER/tsa.crt (the authority's certificate, to verify against) and then the port it
listens on to PORTFILE; serves until terminated. Each answered query is counted in
FOLDER/answered (one line each).
"""
import http.server
import os
import subprocess
import sys
import tempfile
import threading

CONFIG = """
[ tsa ]
default_tsa = tsa_config
[ tsa_config ]
dir = {folder}
serial = $dir/serial
signer_cert = $dir/tsa.crt
signer_key = $dir/tsa.key
signer_digest = sha256
default_policy = 1.3.6.1.4.1.55555.1
digests = sha256, sha384, sha512, sha1
accuracy = secs:1
ess_cert_id_alg = sha256
"""


def make_authority(folder):
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256", "-days", "2",
                    "-subj", "/CN=Fotoloft test timestamp authority",
                    "-addext", "basicConstraints=critical,CA:false",
                    "-addext", "keyUsage=critical,digitalSignature,nonRepudiation",
                    "-addext", "extendedKeyUsage=critical,timeStamping",
                    "-keyout", os.path.join(folder, "tsa.key"), "-out", os.path.join(folder, "tsa.crt")],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    with open(os.path.join(folder, "serial"), "w") as f:
        f.write("01\n")
    with open(os.path.join(folder, "tsa.cnf"), "w") as f:
        f.write(CONFIG.format(folder=folder))


class Handler(http.server.BaseHTTPRequestHandler):
    lock = threading.Lock()

    def do_POST(self):
        folder = self.server.folder
        query = self.rfile.read(int(self.headers.get("Content-Length", "0") or 0))
        with self.lock, tempfile.TemporaryDirectory(dir=folder) as work:
            with open(os.path.join(work, "q.tsq"), "wb") as f:
                f.write(query)
            done = subprocess.run(["openssl", "ts", "-reply", "-config", os.path.join(folder, "tsa.cnf"),
                                   "-queryfile", os.path.join(work, "q.tsq"), "-out", os.path.join(work, "r.tsr")],
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            reply = b""
            if done.returncode == 0:
                with open(os.path.join(work, "r.tsr"), "rb") as f:
                    reply = f.read()
        if not reply:
            self.send_error(400, "not a timestamp query")
            return
        with open(os.path.join(folder, "answered"), "a") as f:
            f.write("%d\n" % len(query))
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)

    def log_message(self, *args):
        pass


def main():
    folder, port_file = os.path.abspath(sys.argv[1]), sys.argv[2]
    make_authority(folder)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.folder = folder
    with open(port_file + ".tmp", "w") as f:
        f.write(str(server.server_address[1]))
    os.rename(port_file + ".tmp", port_file)
    server.serve_forever()


if __name__ == "__main__":
    main()

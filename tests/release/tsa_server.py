#!/usr/bin/env python3
"""A local RFC 3161 time-stamping authority for the release tests: every POST body is a
time-stamp query, answered by `openssl ts -reply` with the test authority's time-stamping
certificate. Listens on 127.0.0.1 on a free port that it writes to PORT_FILE once it listens.

usage: tsa_server.py SIGNER_DIR PORT_FILE   (SIGNER_DIR as made by make_test_signer.sh)
"""
import http.server
import os
import subprocess
import sys
import tempfile

signer_dir, port_file = sys.argv[1], sys.argv[2]


class Handler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        with tempfile.TemporaryDirectory() as work:
            with open(os.path.join(work, "query"), "wb") as f:
                f.write(query)
            result = subprocess.run(
                ["openssl", "ts", "-reply", "-config", "tsa.cnf", "-queryfile",
                 os.path.join(work, "query"), "-signer", "tsa.pem", "-inkey", "tsa.key",
                 "-chain", "ca.pem", "-out", os.path.join(work, "reply")],
                cwd=signer_dir, capture_output=True)
            if result.returncode != 0:
                self.send_error(500, result.stderr.decode(errors="replace")[:200])
                return
            with open(os.path.join(work, "reply"), "rb") as f:
                reply = f.read()
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)

    def log_message(self, *args):
        pass


server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
with open(port_file + ".partial", "w") as f:
    f.write(str(server.server_address[1]))
os.replace(port_file + ".partial", port_file)
server.serve_forever()

#!/usr/bin/env python3
"""Development server for the online sequence: the usage counter and the update endpoint over
HTTPS on 127.0.0.1, with switches that make it misbehave. Standard library only.

Endpoints
  GET  /count.php?id=...&flag=F   counts one report for flag F; replies with the count body
  GET  /app/update/client.php     replies with the configured update body
  GET  /files/NAME                a file from the --files folder (the client to download)
  GET  /_stats                    JSON: {"counts": {flag: n}, "requests": {path: n}}
  GET  /_count?flag=F             the count of F as decimal text
  POST /_reset                    counts to zero, configuration to its defaults
  POST /_config?key=K             sets K to the request body (bytes). Keys:
        update       update reply body (default empty)
        count_body   counter reply body (default "OK\\n")
        mode         normal | slow | close | reset | huge | malformed  (both endpoints):
                     slow waits `delay` seconds before replying, close hangs up without a
                     reply, reset aborts the connection (TCP reset), huge sends `huge_mib` MiB,
                     malformed sends bytes that are no HTTP response
        delay        seconds of delay for mode "slow" (default 30)
        huge_mib     size of the "huge" body in MiB (default 256)
"""
import argparse
import json
import os
import socket
import ssl
import struct
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlsplit

DEFAULTS = {
    "update": b"",
    "count_body": b"OK\n",
    "mode": b"normal",
    "delay": b"30",
    "huge_mib": b"256",
}


class State:
    def __init__(self, files_dir):
        self.lock = threading.Lock()
        self.files_dir = files_dir
        self.reset()

    def reset(self):
        with self.lock:
            self.config = dict(DEFAULTS)
            self.counts = {}
            self.requests = {}

    def get(self, key):
        with self.lock:
            return self.config[key]


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "devserver"

    def log_message(self, fmt, *args):
        sys.stderr.write("%s %s\n" % (self.address_string(), fmt % args))

    @property
    def state(self):
        return self.server.state

    def reply(self, status, body, content_type="text/plain; charset=utf-8"):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        self.wfile.write(body)

    def misbehave(self):
        """Applies the configured mode to a public endpoint; True when it answered already."""
        mode = self.state.get("mode").decode("ascii", "replace").strip()
        if mode == "slow":
            time.sleep(float(self.state.get("delay")))
            return False
        if mode == "close":
            # As if nobody were there: the connection ends without a byte of reply.
            self.close_connection = True
            try:
                self.connection.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            return True
        if mode == "reset":
            # Linger with a zero time-out: closing sends a reset instead of an orderly end. The
            # descriptor is closed here and now: left to the server, it would first shut the
            # socket down for writing, and a client that sees that end before the reset reads
            # an empty reply instead of a broken connection.
            self.close_connection = True
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            os.close(self.connection.detach())
            return True
        if mode == "malformed":
            self.close_connection = True
            self.wfile.write(b"HTTP/1.1 2x0 \x00\xff\r\nContent-Length: -5\r\n\x01\x02garbage\r\n\r\n5#https://")
            return True
        if mode == "huge":
            size = int(self.state.get("huge_mib")) * 1024 * 1024
            self.send_response(200)
            self.send_header("Content-Type", "text/plain")
            self.send_header("Content-Length", str(size))
            self.end_headers()
            line = b"9#https://127.0.0.1/" + b"x" * 4000 + b"\n"
            chunk = (line * (65536 // len(line) + 1))[:65536]
            sent = 0
            try:
                while sent < size:
                    piece = chunk[: min(len(chunk), size - sent)]
                    self.wfile.write(piece)
                    sent += len(piece)
            except OSError:
                pass
            self.close_connection = True
            return True
        return False

    def count_request(self, path):
        with self.state.lock:
            self.state.requests[path] = self.state.requests.get(path, 0) + 1

    def do_GET(self):
        url = urlsplit(self.path)
        query = parse_qs(url.query)
        self.count_request(url.path)
        if url.path == "/count.php":
            flag = query.get("flag", [""])[0]
            with self.state.lock:
                self.state.counts[flag] = self.state.counts.get(flag, 0) + 1
            if not self.misbehave():
                self.reply(200, self.state.get("count_body"))
        elif url.path == "/app/update/client.php":
            if not self.misbehave():
                self.reply(200, self.state.get("update"))
        elif url.path.startswith("/files/"):
            name = os.path.basename(url.path[len("/files/"):])
            path = os.path.join(self.state.files_dir or "", name)
            if self.state.files_dir and name and os.path.isfile(path):
                with open(path, "rb") as f:
                    self.reply(200, f.read(), "application/octet-stream")
            else:
                self.reply(404, b"not found\n")
        elif url.path == "/_stats":
            with self.state.lock:
                body = json.dumps({"counts": self.state.counts, "requests": self.state.requests})
            self.reply(200, body.encode(), "application/json")
        elif url.path == "/_count":
            flag = query.get("flag", [""])[0]
            with self.state.lock:
                n = self.state.counts.get(flag, 0)
            self.reply(200, str(n).encode())
        else:
            self.reply(404, b"not found\n")

    def do_POST(self):
        url = urlsplit(self.path)
        query = parse_qs(url.query)
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length > 0 else b""
        if url.path == "/_reset":
            self.state.reset()
            self.reply(200, b"reset\n")
        elif url.path == "/_config":
            key = query.get("key", [""])[0]
            if key not in DEFAULTS:
                self.reply(400, b"unknown key\n")
                return
            with self.state.lock:
                self.state.config[key] = body
            self.reply(200, b"set\n")
        else:
            self.reply(404, b"not found\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--cert", required=True, help="server certificate chain (PEM)")
    parser.add_argument("--key", required=True, help="server private key (PEM)")
    parser.add_argument("--files", help="folder served under /files/")
    parser.add_argument("--update", help="initial update reply body")
    args = parser.parse_args()

    server = ThreadingHTTPServer(("127.0.0.1", args.port), Handler)
    server.daemon_threads = True
    server.state = State(args.files)
    if args.update is not None:
        DEFAULTS["update"] = args.update.encode()
        server.state.reset()
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(args.cert, args.key)
    server.socket = context.wrap_socket(server.socket, server_side=True)
    sys.stderr.write("devserver on https://127.0.0.1:%d\n" % args.port)
    sys.stderr.flush()
    server.serve_forever()


if __name__ == "__main__":
    main()

"""What the public and the control side's request handlers share."""
import sys
from http.server import BaseHTTPRequestHandler


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "devserver"

    def log_message(self, fmt, *args):
        # The port tells the public side from the control side.
        sys.stderr.write(":%d %s\n" % (self.server.server_port, fmt % args))

    @property
    def state(self):
        return self.server.state

    def reply(self, status, body, content_type="text/plain; charset=utf-8", headers=()):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)

    def start_reply(self, size, content_type="application/octet-stream"):
        """Status and headers of a body that follows piece by piece: with a Content-Length when
        size is known, else chunked. Returns whether the body is to be chunked."""
        self.send_response(200)
        self.send_header("Content-Type", content_type)
        self.send_header("Cache-Control", "no-store")
        if size is None:
            self.send_header("Transfer-Encoding", "chunked")
        else:
            self.send_header("Content-Length", str(size))
        self.end_headers()
        return size is None

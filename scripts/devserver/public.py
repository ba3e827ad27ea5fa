"""The public endpoints: the usage counter, the update endpoint, downloads, and the helpers
for download tests (redirects, large bodies). Every request is counted by path."""
import os
import socket
import struct
import time
from urllib.parse import parse_qs, urlsplit

import bodies
from handler_base import Handler

REDIRECT_STATUSES = {301, 302, 303, 307, 308}
# Size announced by the trickling endpoints: far more than ever arrives.
TRICKLE_SIZE = 65536


class BadRequest(Exception):
    pass


def query_int(query, name, default):
    text = query.get(name, [str(default)])[0]
    try:
        value = int(text)
    except ValueError:
        raise BadRequest("%s must be a whole number" % name)
    if value < 0:
        raise BadRequest("%s must not be negative" % name)
    return value


class PublicHandler(Handler):
    def do_GET(self):
        url = urlsplit(self.path)
        query = parse_qs(url.query)
        self.state.count_request(url.path)
        routes = {
            "/count.php": self.count,
            "/app/update/client.php": self.update,
            "/redirect": self.redirect,
            "/big": self.big,
        }
        route = routes.get(url.path)
        if route is None and url.path.startswith("/files/"):
            route = self.file
        try:
            if route is None:
                self.reply(404, b"not found\n")
            else:
                route(url, query)
        except BadRequest as e:
            self.reply(400, str(e).encode() + b"\n")

    def count(self, url, query):
        self.state.count_report(query.get("flag", [""])[0])
        if not self.misbehave("count_body"):
            self.reply(200, self.state.get("count_body"))

    def update(self, url, query):
        if not self.misbehave("update"):
            self.reply(200, self.state.get("update"))

    def redirect(self, url, query):
        target = query.get("to", [""])[0]
        if not target:
            raise BadRequest("to= is required")
        status = query_int(query, "status", 302)
        if status not in REDIRECT_STATUSES:
            raise BadRequest("status must be one of %s" % sorted(REDIRECT_STATUSES))
        self.reply(status, b"", headers=[("Location", target)])

    def big(self, url, query):
        size = query_int(query, "mib", 1) * 1024 * 1024 + query_int(query, "extra", 0)
        with_length = query.get("length", ["1"])[0] != "0"
        self.send_download(bodies.zeros(size), size if with_length else None)

    def file(self, url, query):
        name = os.path.basename(url.path[len("/files/"):])
        folder = self.state.files_dir
        path = os.path.join(folder or "", name)
        if not folder or not name or not os.path.isfile(path):
            self.reply(404, b"not found\n")
            return
        self.send_download(bodies.file_pieces(path), os.path.getsize(path))

    def send_download(self, pieces, size):
        """A download as files_mode says: at full speed or trickling. size None: chunked."""
        trickle = self.state.text("files_mode") == "trickle"
        chunked = self.start_reply(size)
        interval = self.state.number("trickle_interval") if trickle else None
        if not bodies.send(self.wfile, pieces, chunked, interval):
            self.close_connection = True

    def hang_up(self):
        """Ends the connection in order, whatever the reply has said of its length."""
        self.close_connection = True
        try:
            self.connection.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass

    def misbehave(self, body_key):
        """Applies the configured mode to the counter or the update endpoint; True when it
        answered already."""
        mode = self.state.text("mode")
        if mode == "slow":
            time.sleep(self.state.number("delay"))
            return False
        if mode == "close":
            # As if nobody were there: the connection ends without a byte of reply.
            self.hang_up()
            return True
        if mode == "reset":
            # Linger with a zero time-out: closing sends a reset instead of an orderly end. The
            # descriptor is closed here and now, before the TLS layer could end the session in
            # order; still, a client may see that end first and read an empty reply.
            self.close_connection = True
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            os.close(self.connection.detach())
            return True
        if mode == "short":
            # The whole reply, then the end of the connection, though the headers announced more.
            body = self.state.get(body_key)
            self.start_reply(len(body) + 64, "text/plain; charset=utf-8")
            self.wfile.write(body)
            self.wfile.flush()
            self.hang_up()
            return True
        if mode == "malformed":
            self.close_connection = True
            self.wfile.write(b"HTTP/1.1 2x0 \x00\xff\r\nContent-Length: -5\r\n\x01\x02garbage\r\n\r\n5#https://")
            return True
        if mode == "huge":
            size = int(self.state.number("huge_mib")) * 1024 * 1024
            self.start_reply(size, "text/plain")
            line = b"9#https://127.0.0.1/" + b"x" * 4000 + b"\n"
            piece = (line * (bodies.PIECE // len(line) + 1))[: bodies.PIECE]
            bodies.send(self.wfile, bodies.repeated(piece, size))
            self.close_connection = True
            return True
        if mode == "trickle":
            # Headers at once, then the body a byte at a time until the client gives up.
            self.start_reply(TRICKLE_SIZE, "text/plain; charset=utf-8")
            body = self.state.get(body_key)[:TRICKLE_SIZE]
            body += b"\n" * (TRICKLE_SIZE - len(body))
            bodies.send(self.wfile, [body], trickle_interval=self.state.number("trickle_interval"))
            self.close_connection = True
            return True
        return False

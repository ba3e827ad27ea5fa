"""The control endpoints, on a port of their own so that the public port can be switched off
while the tests still talk to the server."""
import json
from urllib.parse import parse_qs, urlsplit

from handler_base import Handler


class ControlHandler(Handler):
    @property
    def public(self):
        return self.server.public

    def do_GET(self):
        url = urlsplit(self.path)
        query = parse_qs(url.query)
        if url.path == "/_stats":
            self.reply(200, json.dumps(self.state.stats()).encode(), "application/json")
        elif url.path == "/_count":
            flag = query.get("flag", [""])[0]
            self.reply(200, str(self.state.report_count(flag)).encode())
        elif url.path == "/_listen":
            self.reply(200, b"on\n" if self.public.listening() else b"off\n")
        else:
            self.reply(404, b"not found\n")

    def do_POST(self):
        url = urlsplit(self.path)
        query = parse_qs(url.query)
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length > 0 else b""
        if url.path == "/_reset":
            self.state.reset()
            self.public.set_listening(True)
            self.reply(200, b"reset\n")
        elif url.path == "/_config":
            if self.state.set(query.get("key", [""])[0], body):
                self.reply(200, b"set\n")
            else:
                self.reply(400, b"unknown key\n")
        elif url.path == "/_listen":
            switch = body.strip()
            if switch not in (b"on", b"off"):
                self.reply(400, b"body must be on or off\n")
                return
            self.public.set_listening(switch == b"on")
            self.reply(200, switch + b"\n")
        else:
            self.reply(404, b"not found\n")

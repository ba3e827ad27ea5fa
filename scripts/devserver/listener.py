"""HTTPS listeners (and one plain HTTP one). The TLS handshake runs in each connection's own thread, so a client that
connects and says nothing holds up no one else. The public side can be switched off and on:
off means nothing listens on the port any more (the system refuses connections) and the open
connections are cut, as if the server process had gone."""
import socket
import socketserver
import ssl
import sys
import threading
from http.server import ThreadingHTTPServer

# How long a client may take to finish the TLS handshake.
HANDSHAKE_SECONDS = 30


class TlsHttpServer(ThreadingHTTPServer):
    daemon_threads = True
    block_on_close = False  # a trickling reply must not hold up switching the port off
    allow_reuse_address = True

    def __init__(self, host, port, handler, context, state):
        self.address_family = socket.AF_INET6 if ":" in host else socket.AF_INET
        self.context = context
        self.state = state
        self.connections = set()
        self.connections_lock = threading.Lock()
        super().__init__((host, port), handler)

    def server_bind(self):
        # The plain TCP bind: HTTPServer would also look the host's name up, which can stall.
        socketserver.TCPServer.server_bind(self)
        self.server_name, self.server_port = self.server_address[:2]

    def finish_request(self, request, client_address):
        request.settimeout(HANDSHAKE_SECONDS)
        try:
            # Without a context: plain HTTP (the port that a redirect away from https leads to).
            connection = self.context.wrap_socket(request, server_side=True) if self.context else request
        except (OSError, ValueError):
            request.close()
            return
        connection.settimeout(None)
        with self.connections_lock:
            self.connections.add(connection)
        try:
            self.RequestHandlerClass(connection, client_address, self)
        except OSError:
            pass  # the client went away
        finally:
            with self.connections_lock:
                self.connections.discard(connection)
            connection.close()

    def handle_error(self, request, client_address):
        sys.stderr.write("%s: %s\n" % (client_address, sys.exc_info()[1]))

    def cut_connections(self):
        with self.connections_lock:
            connections = list(self.connections)
        for connection in connections:
            try:
                # The plain socket's shutdown: the TLS one would pull the TLS state away from
                # under the thread that is using it.
                socket.socket.shutdown(connection, socket.SHUT_RDWR)
            except OSError:
                pass


def serve_in_background(server):
    thread = threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.1}, daemon=True)
    thread.start()
    return thread


class PublicListeners:
    """The public port on 127.0.0.1 and, where the machine has it, on ::1 (so that the name
    localhost reaches it whichever address it resolves to first)."""

    def __init__(self, port, handler, context, state):
        self.port = port
        self.handler = handler
        self.context = context
        self.state = state
        self.lock = threading.Lock()
        self.servers = []
        self.set_listening(True)

    def _open(self):
        servers = [TlsHttpServer("127.0.0.1", self.port, self.handler, self.context, self.state)]
        try:
            servers.append(TlsHttpServer("::1", self.port, self.handler, self.context, self.state))
        except OSError:
            pass  # no IPv6 loopback here
        # Bound and listening: from here on the system completes connections and queues them
        # for the serving threads.
        for server in servers:
            serve_in_background(server)
        return servers

    def set_listening(self, on):
        with self.lock:
            if on and not self.servers:
                self.servers = self._open()
            elif not on and self.servers:
                for server in self.servers:
                    server.shutdown()
                    server.cut_connections()
                    server.server_close()
                self.servers = []

    def listening(self):
        with self.lock:
            return bool(self.servers)

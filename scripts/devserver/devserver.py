#!/usr/bin/env python3
"""Development server for the online sequence: the usage counter, the update endpoint and
downloads over HTTPS on the loopback address, with switches that make it misbehave. Standard
library only.

Public port (127.0.0.1 and, where there is one, ::1, so https://localhost:PORT reaches it too)
  GET  /count.php?id=...&flag=F   counts one report for flag F; replies with the count body
  GET  /app/update/client.php     replies with the configured update body
  GET  /files/NAME                a file from the --files folder (the client to download)
  GET  /redirect?to=URL[&status=S]
                                  answers S (301, 302 (default), 303, 307 or 308) with
                                  Location: URL and an empty body
  GET  /big?mib=N[&extra=B][&length=0|1]
                                  N MiB and B bytes of zeros, application/octet-stream, with a
                                  Content-Length (length=1, the default) or chunked (length=0);
                                  streamed, never held in memory
Every public request is counted by its path (see /_stats).

Plain port (--plain-port, default the public port + 2): the same public endpoints over plain
HTTP, where a redirect away from https leads; it is never switched off.

Control port (--control-port, default the public port + 1; same certificate)
  GET  /_stats                    JSON: {"counts": {flag: n}, "requests": {path: n}}
  GET  /_count?flag=F             the count of F as decimal text
  GET  /_listen                   "on" or "off"
  POST /_listen                   body "off": nothing listens on the public port any more (the
                                  system refuses connections at once) and its open connections
                                  are cut; "on": it listens again
  POST /_reset                    counts to zero, configuration to its defaults, listening on
  POST /_config?key=K             sets K to the request body (bytes). Keys:
        update       update reply body (default empty, or --update)
        count_body   counter reply body (default "OK\\n")
        mode         for the counter and the update endpoint:
                     normal
                     slow       waits `delay` seconds before replying
                     close      hangs up without a reply
                     reset      aborts the connection (TCP reset)
                     huge       sends `huge_mib` MiB
                     short      sends the whole reply under a Content-Length 64 bytes larger,
                                then hangs up
                     malformed  sends bytes that are no HTTP response
                     trickle    status and headers at once (Content-Length 65536), then the
                                body one byte every `trickle_interval` seconds
        delay        seconds of delay for mode "slow" (default 30)
        huge_mib     size of the "huge" body in MiB (default 256)
        files_mode   normal | trickle: how /files/ and /big are sent (trickle keeps the real
                     Content-Length)
        trickle_interval  seconds between two trickled bytes (default 1)

close and reset race the end of the TLS session: depending on timing a client sees either a
broken connection or an empty reply. Use them only where the assertion holds for both; for a
server that cannot be reached, switch listening off.
"""
import argparse
import ssl
import sys

from control import ControlHandler
from listener import PublicListeners, TlsHttpServer, serve_in_background
from public import PublicHandler
from state import State


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--control-port", type=int, help="control endpoints (default: port + 1)")
    parser.add_argument("--plain-port", type=int,
                        help="the public endpoints over plain HTTP (default: port + 2)")
    parser.add_argument("--cert", required=True, help="server certificate chain (PEM)")
    parser.add_argument("--key", required=True, help="server private key (PEM)")
    parser.add_argument("--files", help="folder served under /files/")
    parser.add_argument("--update", help="initial update reply body")
    args = parser.parse_args()
    control_port = args.control_port or args.port + 1
    plain_port = args.plain_port or args.port + 2

    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(args.cert, args.key)
    update = args.update.encode() if args.update is not None else None
    state = State(args.files, update)

    control = TlsHttpServer("127.0.0.1", control_port, ControlHandler, context, state)
    control.public = PublicListeners(args.port, PublicHandler, context, state)
    serve_in_background(TlsHttpServer("127.0.0.1", plain_port, PublicHandler, None, state))
    sys.stderr.write("devserver on https://127.0.0.1:%d (control port %d, plain http port %d)\n"
                     % (args.port, control_port, plain_port))
    sys.stderr.flush()
    control.serve_forever()


if __name__ == "__main__":
    main()

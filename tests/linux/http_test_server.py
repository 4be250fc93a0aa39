#!/usr/bin/python3
"""A loopback HTTP(S) server for the Linux program's tests, standard library only.

Answers each path as a routes file says, read again for every request, so a
test may change the answers while the server runs:

    {"/path": {"status": 503, "body": "busy", "headers": {"Retry-After": "120"},
               "bodyBytes": 10485760, "delayMs": 500, "neverAnswer": false,
               "reset": false}}

A route whose path ends in "*" takes every path that starts with the rest
(an exact path goes first). "body" is repeated up to "bodyBytes" when that
is given; "delayMs" waits before answering; "holdWhile" names a file, and
the answer waits while that file exists; "neverAnswer" keeps the connection
open and silent; "reset" closes the server's side and then resets the
connection without reading the body. A path without a route gets 404. The
query is not part of the path matched.
"answers" lists answers of their own for some requests of a path: the
first whose "contains" is in the request's target or body overrides the
route's members with its own:

    {"/path": {"status": 200, "answers": [{"contains": "dateutc=2026", "status": 409}]}}

Each request is appended to the log as it came, before it is answered:

    REQUEST <request line>
    FROM <client address>:<client port>
    HEADER <name>: <value>          (one per header)
    BODY <length>
    <the body's bytes>
    END

Each connection, once it has ended, is told on standard output:

    closed <client address>:<client port>

The port, once listening on 127.0.0.1, is written to the port file.

    http_test_server.py --routes FILE --log FILE --port-file FILE [--port N] [--cert PEM --key PEM]

Without --cert it serves plain HTTP. --port listens on that port (to come
back on the one a test's program was given) instead of a free one.
"""

import argparse
import http.server
import json
import os
import socket
import ssl
import struct
import sys
import threading
import time

CHUNK = 65536


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    # The head and the body go out in writes of their own: without this the
    # body waits for the client's delayed acknowledgement of the head.
    disable_nagle_algorithm = True

    def setup(self):
        if isinstance(self.request, ssl.SSLSocket):
            self.request.do_handshake()
        super().setup()

    def log_message(self, format, *args):
        pass

    def finish(self):
        super().finish()
        # Which connections a client let go, and when: on standard output.
        print("closed %s:%d" % self.client_address, flush=True)

    def do_GET(self):
        self.answer()

    def do_POST(self):
        self.answer()

    def route(self):
        path = self.path.split("?", 1)[0]
        try:
            with open(self.server.routes_path, encoding="utf-8") as f:
                routes = json.load(f)
        except (OSError, ValueError):
            routes = {}
        if path in routes:
            return routes[path]
        for pattern, route in routes.items():
            if pattern.endswith("*") and path.startswith(pattern[:-1]):
                return route
        return None

    def record(self, body):
        entry = bytearray()
        entry += b"REQUEST " + self.requestline.encode("latin-1") + b"\n"
        entry += b"FROM %s:%d\n" % (self.client_address[0].encode("ascii"), self.client_address[1])
        for name, value in self.headers.items():
            entry += b"HEADER " + ("%s: %s" % (name, value)).encode("latin-1") + b"\n"
        entry += b"BODY %d\n" % len(body) + body + b"\nEND\n"
        with self.server.log_lock, open(self.server.log_path, "ab") as log:
            log.write(entry)

    def answer(self):
        route = self.route()
        if route and route.get("reset"):
            self.record(b"")
            # Closed first, then reset: a client still sending then gets
            # EPIPE, which raises SIGPIPE in a program that lets it.
            self.request.shutdown(socket.SHUT_WR)
            self.request.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.close_connection = True
            self.request.close()
            return
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length) if length > 0 else b""
        self.record(body)
        for answer in route.get("answers", []) if route else []:
            if answer["contains"] in self.path or answer["contains"].encode("utf-8") in body:
                route = dict(route, **answer)
                break
        if route is None:
            self.reply(404, {}, b"no route\n", len(b"no route\n"))
            return
        if route.get("neverAnswer"):
            threading.Event().wait()
        while route.get("holdWhile") and os.path.exists(route["holdWhile"]):
            time.sleep(0.02)
        if route.get("delayMs"):
            time.sleep(route["delayMs"] / 1000)
        text = route.get("body", "").encode("utf-8")
        size = route.get("bodyBytes", len(text))
        self.reply(route.get("status", 200), route.get("headers", {}), text or b"x", size)

    def reply(self, status, headers, pattern, size):
        self.send_response(status)
        self.send_header("Content-Type", "text/plain; charset=utf-8")
        self.send_header("Content-Length", str(size))
        for name, value in headers.items():
            self.send_header(name, value)
        self.end_headers()
        block = pattern * (CHUNK // len(pattern) + 1)
        sent = 0
        while sent < size:
            part = block[: min(len(block), size - sent)]
            self.wfile.write(part)
            sent += len(part)


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        # A client that refuses the certificate ends its handshake: one line.
        print("connection from %s:%d: %s" % (client_address[0], client_address[1], sys.exc_info()[1]),
              file=sys.stderr, flush=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--routes", required=True)
    parser.add_argument("--log", required=True)
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--cert")
    parser.add_argument("--key")
    options = parser.parse_args()

    server = Server(("127.0.0.1", options.port), Handler)
    server.routes_path = options.routes
    server.log_path = options.log
    server.log_lock = threading.Lock()
    if options.cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(options.cert, options.key)
        # The handshake runs on the request's thread, so a client that
        # never finishes it holds only that thread.
        server.socket = context.wrap_socket(server.socket, server_side=True, do_handshake_on_connect=False)
    written = options.port_file + ".new"
    with open(written, "w") as f:
        f.write("%d\n" % server.server_address[1])
    os.replace(written, options.port_file)
    server.serve_forever()


if __name__ == "__main__":
    main()

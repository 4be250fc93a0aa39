#!/usr/bin/python3
"""A loopback APRS-IS server for the Linux program's tests, standard library only.

Greets each connection with a comment line, reads the login line (and says
"login read" on its standard output), answers it with the logresp line (or,
with --silent, with nothing; with --long-line, with a line that never
ends), and reads on until the client closes. Then
appends everything the client sent, as it came, to the log, followed by
"\\nEND\\n". The port, once listening on 127.0.0.1, is written to the port
file.

    aprs_test_server.py --log FILE --port-file FILE [--silent | --long-line]
"""

import argparse
import os
import socket
import threading

LOGRESP = b"# logresp N0CALL verified, server TEST\r\n"
LONG_LINE_BYTES = 100000


def serve(connection, options, lock):
    got = bytearray()
    try:
        with connection:
            connection.sendall(b"# aerovane test server 1.0\r\n")
            while b"\n" not in got:
                part = connection.recv(4096)
                if not part:
                    break
                got += part
            print("login read", flush=True)
            if options.long_line:
                connection.sendall(b"#" * LONG_LINE_BYTES)
            elif not options.silent:
                connection.sendall(LOGRESP)
            while True:
                part = connection.recv(4096)
                if not part:
                    break
                got += part
    except OSError:
        pass  # a client that leaves with our words unread resets the connection
    with lock, open(options.log, "ab") as log:
        log.write(bytes(got) + b"\nEND\n")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--log", required=True)
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--silent", action="store_true")
    parser.add_argument("--long-line", action="store_true")
    options = parser.parse_args()

    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(8)
    written = options.port_file + ".new"
    with open(written, "w") as f:
        f.write("%d\n" % listener.getsockname()[1])
    os.replace(written, options.port_file)
    lock = threading.Lock()
    while True:
        connection, _ = listener.accept()
        threading.Thread(target=serve, args=(connection, options, lock), daemon=True).start()


if __name__ == "__main__":
    main()

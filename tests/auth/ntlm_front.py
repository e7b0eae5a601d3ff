#!/usr/bin/env python3
"""An HTTP front that demands NTLM, checked by Samba's ntlm_auth, for the tests.

    ntlm_front.py --user U --password P --domain D --bodies FILE [--users FILE] [--mode MODE]
                  [--close-every N]

MODE: "connection" authenticates a connection once (as IIS does by default); "request" asks for
the handshake again on every request. With --close-every N the front closes each connection after
its Nth accepted request. Every accepted body is appended to FILE with a NUL after it; rejected
ones never are. With --users, the user name of every type 3 message is appended to that FILE, a
line each, whether it is accepted or not. Prints "listening on 127.0.0.1:PORT" when ready; stops
at the end of its standard input or on SIGTERM.
"""

import argparse
import base64
import http.server
import signal
import struct
import subprocess
import sys
import threading


def type3_user(message):
    """The user name of an NTLM type 3 message (UTF-16 when the unicode flag is set)."""
    length, _, offset = struct.unpack_from("<HHI", message, 36)
    flags = struct.unpack_from("<I", message, 60)[0] if len(message) >= 64 else 0
    raw = message[offset:offset + length]
    return raw.decode("utf-16-le") if flags & 1 else raw.decode("latin-1")


class Helper:
    """One ntlm_auth process: one handshake's state."""

    def __init__(self, options):
        self.process = subprocess.Popen(
            ["ntlm_auth", "--helper-protocol=squid-2.5-ntlmssp", "--username", options.user,
             "--password", options.password, "--domain", options.domain],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)

    def ask(self, line):
        self.process.stdin.write((line + "\n").encode())
        self.process.stdin.flush()
        return self.process.stdout.readline().decode().strip()

    def close(self):
        self.process.stdin.close()
        self.process.wait()


def handler_for(options, lock):
    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def setup(self):
            super().setup()
            self.authenticated = False
            self.accepted = 0
            self.helper = None

        def finish(self):
            if self.helper:
                self.helper.close()
            super().finish()

        def log_message(self, *_):
            pass

        def answer(self, status, headers=(), body=b"", close=False):
            self.send_response(status)
            for name, value in headers:
                self.send_header(name, value)
            self.send_header("Content-Length", str(len(body)))
            if close:
                self.send_header("Connection", "close")
                self.close_connection = True
            self.end_headers()
            self.wfile.write(body)

        def challenge(self, token=None):
            self.answer(401, [("WWW-Authenticate", "NTLM" + (" " + token if token else ""))])

        def do_POST(self):
            body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
            given = self.headers.get("Authorization", "")
            if given.startswith("NTLM "):
                token = given[5:].strip()
                message = base64.b64decode(token)
                kind = struct.unpack_from("<I", message, 8)[0]
                if kind == 1:
                    if self.helper:
                        self.helper.close()
                    self.helper = Helper(options)
                    reply = self.helper.ask("YR " + token)
                    return self.challenge(reply[3:]) if reply.startswith("TT ") else self.challenge()
                if kind == 3 and options.users:
                    with lock, open(options.users, "a", encoding="utf-8") as users:
                        users.write(type3_user(message) + "\n")
                if kind == 3 and self.helper:
                    reply = self.helper.ask("KK " + token)
                    self.helper.close()
                    self.helper = None
                    if not (reply.startswith("AF ") and
                            type3_user(message).lower() == options.user.lower()):
                        return self.challenge()
                    self.authenticated = True
                    return self.accept(body)
                return self.challenge()
            if self.authenticated and options.mode == "connection":
                return self.accept(body)
            return self.challenge()

        def accept(self, body):
            with lock, open(options.bodies, "ab") as bodies:
                bodies.write(body + b"\0")
            self.accepted += 1
            if options.mode == "request":
                self.authenticated = False
            close = options.close_every > 0 and self.accepted % options.close_every == 0
            self.answer(200, [("Content-Type", "application/xml")], b"<ok/>", close)

    return Handler


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--domain", default="KES")
    parser.add_argument("--bodies", required=True)
    parser.add_argument("--users")
    parser.add_argument("--mode", choices=["connection", "request"], default="connection")
    parser.add_argument("--close-every", type=int, default=0)
    options = parser.parse_args()
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler_for(options, threading.Lock()))
    server.daemon_threads = True
    signal.signal(signal.SIGTERM, lambda *_: threading.Thread(target=server.shutdown).start())
    threading.Thread(target=lambda: (sys.stdin.read(), server.shutdown()), daemon=True).start()
    print(f"listening on 127.0.0.1:{server.server_address[1]}", flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()

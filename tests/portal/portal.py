#!/usr/bin/env python3
"""The loopback test portal: scripted HTTP and HTTPS servers for tests.

Each Server listens on its own random address 127.a.b.c (ports 80 and 443, a
self-signed certificate made with the openssl command), answers every request
with the next scripted response and records what it received. Windows test
programs reach it through a small control protocol; Python code uses the
classes directly. Usage: see README.md beside this file.
"""
import json
import os
import random
import shutil
import socket
import ssl
import struct
import subprocess
import sys
import tempfile
import threading
import time

DEFAULT_RESPONSE = {"status": 200, "body": b"OK"}
REASONS = {200: "OK", 302: "Found", 401: "Unauthorized", 403: "Forbidden",
           404: "Not Found", 407: "Proxy Authentication Required",
           500: "Internal Server Error", 503: "Service Unavailable"}


def make_certificate(directory, host=None, expired=False):
    """A throw-away self-signed certificate and key; returns (cert, key) paths.
    Without a host it names "impapi-portal", so for a server's address the
    name is wrong too; with one it names that host (as DNS name and IP
    address). Expired: valid only in January 2020 (the req command cannot date
    a certificate back; the ca command can)."""
    os.makedirs(directory, exist_ok=True)
    cert, key = os.path.join(directory, "cert.pem"), os.path.join(directory, "key.pem")
    quiet = dict(check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    names = ["-subj", "/CN=%s" % (host or "impapi-portal")]
    if host:
        names += ["-addext", "subjectAltName=DNS:%s,IP:%s" % (host, host)]
    if not expired:
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256", "-days", "2",
                        "-keyout", key, "-out", cert] + names, **quiet)
        return cert, key
    csr, config = os.path.join(directory, "req.csr"), os.path.join(directory, "ca.cnf")
    open(os.path.join(directory, "index.txt"), "w").close()
    with open(config, "w") as f:
        f.write("[ca]\ndefault_ca=d\n[d]\ndatabase=%s\nnew_certs_dir=%s\nrand_serial=yes\n"
                "default_md=sha256\npolicy=p\nunique_subject=no\ncopy_extensions=copy\n"
                "[p]\ncommonName=supplied\n" % (os.path.join(directory, "index.txt"), directory))
    subprocess.run(["openssl", "req", "-new", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", csr]
                   + names, **quiet)
    subprocess.run(["openssl", "ca", "-selfsign", "-batch", "-notext", "-config", config, "-keyfile", key,
                    "-in", csr, "-out", cert, "-startdate", "20200101000000Z", "-enddate", "20200201000000Z"],
                   **quiet)
    return cert, key


def tls_context(cert, key):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    return context


def bind_random_address(ports):
    """Listening sockets on one random 127.a.b.c for each port (not 127.0.0.1:
    several test runs share this machine)."""
    for _ in range(100):
        address = "127.%d.%d.%d" % (random.randint(1, 254), random.randint(0, 255),
                                    random.randint(1, 254))
        sockets = []
        try:
            for port in ports:
                s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
                sockets.append(s)
                s.bind((address, port))
                s.listen(16)
            return address, sockets
        except OSError:
            for s in sockets:
                s.close()
    raise RuntimeError("no free loopback address")


class Server:
    """One scripted server: HTTP on port 80 and HTTPS on port 443 of its own address.

    A response is a dict (all keys optional):
      status      status code (200)
      reason      reason phrase (a standard one for the code)
      headers     list of [name, value] sent as given
      body        bytes (or body_hex / body_text in the control protocol)
      length      "auto": Content-Length of the body (default); "none": no
                  Content-Length, the body ends with the connection; any other
                  text: sent as the Content-Length value (a wrong or non-numeric one)
      head_delay  seconds to wait before the status line
      chunk       bytes per write (all at once)
      delay       seconds between writes (a slow trickle)
      stall_after after this many body bytes stop sending and hold the
                  connection for `stall` seconds (or until the server closes)
      reset_after after this many body bytes reset the connection (RST),
                  `reset_delay` seconds later (0)
      status_line sent in place of "HTTP/1.1 <status> <reason>" (garbage)
      handshake   HTTPS only, taken when a connection comes in rather than a
                  request: "close" closes it after the client's first
                  handshake bytes, "stall" never answers the handshake (for
                  `stall` seconds or until the server closes)
    Requests take the scripted responses in order; the last one repeats.
    """

    def __init__(self, context):
        """context: the TLS context, or a function that makes one for the
        server's address."""
        self.address, (plain, secure) = bind_random_address((80, 443))
        self._context = context(self.address) if callable(context) else context
        self._listeners = [plain, secure]
        self._responses = [dict(DEFAULT_RESPONSE)]
        self._next = 0
        self._requests = []
        self._lock = threading.Lock()
        self._closed = threading.Event()
        for listener, tls in ((plain, False), (secure, True)):
            threading.Thread(target=self._accept, args=(listener, tls), daemon=True).start()

    def script(self, *responses):
        """Replaces the script: the next requests get these responses in order."""
        with self._lock:
            self._responses = [dict(r) for r in responses] or [dict(DEFAULT_RESPONSE)]
            self._next = 0

    @property
    def requests(self):
        """What the server received: dicts with scheme, method, path, version,
        headers (list of [name, value], latin-1) and body (bytes)."""
        with self._lock:
            return list(self._requests)

    def take_requests(self):
        """The requests received so far, forgotten by the server (long runs)."""
        with self._lock:
            taken, self._requests = self._requests, []
            return taken

    def close(self):
        self._closed.set()
        for s in self._listeners:
            try:
                s.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            s.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def _accept(self, listener, tls):
        while not self._closed.is_set():
            try:
                conn, _ = listener.accept()
            except OSError:
                return
            threading.Thread(target=self._serve, args=(conn, tls), daemon=True).start()

    def _serve(self, conn, tls):
        try:
            if tls and self._broken_handshake(conn):
                return
            if tls:
                conn.settimeout(30)
                conn = self._context.wrap_socket(conn, server_side=True)
            conn.settimeout(None)
            while not self._closed.is_set():
                request = self._read_request(conn, "https" if tls else "http")
                if request is None:
                    return
                with self._lock:
                    self._requests.append(request)
                    response = self._responses[min(self._next, len(self._responses) - 1)]
                    self._next += 1
                if not self._respond(conn, response):
                    return
        except (OSError, ssl.SSLError, ValueError):
            pass
        finally:
            try:
                conn.close()
            except OSError:
                pass

    def _broken_handshake(self, conn):
        """Plays a scripted "handshake" response; False when there is none."""
        with self._lock:
            r = self._responses[min(self._next, len(self._responses) - 1)]
            if not r.get("handshake"):
                return False
            self._next += 1
        if r["handshake"] == "close":
            conn.settimeout(5)
            conn.recv(65536)  # the client's hello
        else:
            self._closed.wait(r.get("stall") or 3600)
        return True

    @staticmethod
    def _read_request(conn, scheme):
        data = b""
        while b"\r\n\r\n" not in data:
            piece = conn.recv(65536)
            if not piece:
                return None
            data += piece
        head, body = data.split(b"\r\n\r\n", 1)
        lines = head.decode("latin-1").split("\r\n")
        method, path, version = (lines[0].split(" ", 2) + ["", ""])[:3]
        headers = []
        for line in lines[1:]:
            name, _, value = line.partition(":")
            headers.append([name.strip(), value.strip()])
        length = next((int(v) for n, v in headers if n.lower() == "content-length"), 0)
        while len(body) < length:
            piece = conn.recv(65536)
            if not piece:
                break
            body += piece
        return {"scheme": scheme, "method": method, "path": path, "version": version,
                "headers": headers, "body": body}

    def _respond(self, conn, r):
        """Sends one response; returns whether the connection may carry another."""
        if r.get("head_delay") and self._closed.wait(r["head_delay"]):
            return False
        status = int(r.get("status", 200))
        body = r.get("body", b"")
        lines = [r["status_line"] if "status_line" in r else
                 "HTTP/1.1 %d %s" % (status, r.get("reason", REASONS.get(status, "Status")))]
        lines += ["%s: %s" % (n, v) for n, v in r.get("headers", [])]
        length = r.get("length", "auto")
        if length == "auto":
            lines.append("Content-Length: %d" % len(body))
        elif length != "none":
            lines.append("Content-Length: %s" % length)
        lines.append("Connection: close")
        conn.sendall(("\r\n".join(lines) + "\r\n\r\n").encode("latin-1"))
        stop = min(r.get("stall_after", len(body)), r.get("reset_after", len(body)), len(body))
        # At most 1 MiB per write: a repeated body may be gigabytes long.
        chunk = max(1, int(r.get("chunk", 0)) or min(len(body), 1 << 20) or 1)
        sent = 0
        while sent < stop:
            piece = body[sent:min(sent + chunk, stop)]
            conn.sendall(piece)
            sent += len(piece)
            if r.get("delay") and sent < stop and self._closed.wait(r["delay"]):
                return False
        if "reset_after" in r and sent >= r["reset_after"]:
            if r.get("reset_delay") and self._closed.wait(r["reset_delay"]):
                return False
            conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            return False
        if "stall_after" in r:
            self._closed.wait(r.get("stall", 3600))
        return False


class Portal:
    """Owns the certificates; makes servers. Use as a context manager."""

    def __init__(self):
        self._dir = tempfile.mkdtemp(prefix="impapi-portal-")
        cert, key = make_certificate(self._dir)
        self.certificate = cert
        self._context = tls_context(cert, key)
        self._expired = None
        self._made = 0
        self._lock = threading.Lock()

    def server(self, certificate="self-signed"):
        """A new server. Its HTTPS port shows a self-signed certificate:
        "self-signed" for another host name, "expired" for another name and
        run out in 2020 (made on first use), "own-name" naming the server's
        address, "own-name-expired" the same but run out."""
        if certificate == "expired":
            with self._lock:
                if self._expired is None:
                    self._expired = tls_context(*make_certificate(os.path.join(self._dir, "expired"),
                                                                  expired=True))
            return Server(self._expired)
        if certificate in ("own-name", "own-name-expired"):
            with self._lock:
                self._made += 1
                directory = os.path.join(self._dir, "own-%d" % self._made)
            return Server(lambda address: tls_context(*make_certificate(
                directory, host=address, expired=certificate == "own-name-expired")))
        if certificate != "self-signed":
            raise ValueError("unknown certificate %r" % certificate)
        return Server(self._context)

    def close(self):
        shutil.rmtree(self._dir, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


# The control protocol: one JSON object per line each way. A control
# connection owns the servers it creates; they close with it.
def _response_from_json(r):
    r = dict(r)
    if "body_hex" in r:
        r["body"] = bytes.fromhex(r.pop("body_hex"))
    elif "body_text" in r:
        r["body"] = r.pop("body_text").encode("latin-1")
    elif "body_repeat" in r:  # [text, count]: large bodies without sending them
        text, count = r.pop("body_repeat")
        r["body"] = RepeatedBody(text.encode("latin-1"), count)
    return r


class RepeatedBody:
    """A body of `unit` sent `count` times over, never built whole: answers
    of gigabytes cost the portal no memory."""

    def __init__(self, unit, count):
        self._period = len(unit)
        self._pattern = unit * max(1, (1 << 20) // max(1, len(unit)))
        self._length = len(unit) * count

    def __len__(self):
        return self._length

    def __getitem__(self, span):
        start, stop, _ = span.indices(self._length)
        out = bytearray()
        while start < stop:
            offset = start % self._period
            piece = self._pattern[offset:offset + stop - start]
            out += piece
            start += len(piece)
        return bytes(out)


def _request_to_json(q):
    q = dict(q)
    q["body_hex"] = q.pop("body").hex()
    return q


def _control_session(portal, conn):
    servers = {}
    try:
        reader = conn.makefile("rb")
        for line in reader:
            try:
                command = json.loads(line)
                op = command.get("op")
                if op == "new":
                    server = portal.server(command.get("certificate", "self-signed"))
                    servers[server.address] = server
                    reply = {"ok": True, "address": server.address}
                else:
                    server = servers[command["address"]]
                    reply = {"ok": True}
                    if op == "script":
                        server.script(*[_response_from_json(r) for r in command["responses"]])
                    elif op == "requests":
                        taken = server.take_requests() if command.get("clear") else server.requests
                        reply["requests"] = [_request_to_json(q) for q in taken]
                    elif op == "close":
                        servers.pop(command["address"]).close()
                    else:
                        reply = {"ok": False, "error": "unknown op %r" % op}
            except Exception as e:  # a bad command must not end the session
                reply = {"ok": False, "error": "%s: %s" % (type(e).__name__, e)}
            conn.sendall(json.dumps(reply).encode("ascii") + b"\n")
    except OSError:
        pass
    finally:
        for server in servers.values():
            server.close()
        conn.close()


def start_control(portal):
    """Listens for control connections on a random loopback address; returns "host:port"."""
    address, (listener,) = bind_random_address((0,))

    def accept():
        while True:
            conn, _ = listener.accept()
            threading.Thread(target=_control_session, args=(portal, conn), daemon=True).start()

    threading.Thread(target=accept, daemon=True).start()
    return "%s:%d" % (address, listener.getsockname()[1])


def main(argv):
    if len(argv) >= 2 and argv[0] == "run" and argv[1] == "--" or argv[:1] == ["serve"]:
        with Portal() as portal:
            control = start_control(portal)
            if argv[0] == "serve":
                print(control, flush=True)
                while True:
                    time.sleep(3600)
            env = dict(os.environ, IMPAPI_PORTAL=control)
            for name in ("http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY"):
                env.pop(name, None)
            return subprocess.call(argv[2:], env=env)
    print("usage: portal.py run -- COMMAND...   (COMMAND gets IMPAPI_PORTAL=host:port)\n"
          "       portal.py serve              (prints host:port, serves until killed)",
          file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

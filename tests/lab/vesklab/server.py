#!/usr/bin/env python3
"""The lab's TLS server: a small standard-library HTTPS server driven by one JSON scenario file.

    server.py CONFIG.json

It runs inside a lab namespace, listens on the configured loopback addresses and writes one JSON
line per event (ready, connection, handshake, request, response, ...) to the configured log, which
the suites read to prove what a client did or did not do. It ends by itself after `lifetime`
seconds, and when the process that started it dies, so a crashed suite leaves no server behind.

Configuration (every key but `listen`, `log` and `tls.chain`/`tls.key` is optional):

    listen       [{"address": "127.0.0.1" | "::1", "port": 443}, ...]
    log          path of the event log (JSON lines, appended)
    lifetime     seconds until the server ends by itself (default 120)
    tls          {"chain": PEM with leaf first, "key": PEM,
                  "min_version"/"max_version": "TLSv1_1" | "TLSv1_2" | "TLSv1_3",
                  "ciphers": OpenSSL cipher string,
                  "client_certificate": "optional" | "required", "client_ca": PEM}
    handshake    "complete" (default) | "hang" (accept, never answer) | "close" (close at once) |
                 "close-after-hello" (read the ClientHello, then close) | "reset-after-hello"
                 (read the ClientHello, then reset the connection) | "flood" (send junk)
    flood_bytes  how much junk "flood" sends (default 65536)
    hold_seconds how long "hang" holds a connection (default 30)
    routes       {"/path": ROUTE}; a path without a route gets `default_route` (404, empty)
    dns          also take the namespace's name lookups (UDP 127.0.0.1:53) and log each one:
                 "silent": never answer, so a lookup of a name that is not in hosts hangs;
                 "late": answer each after `dns_delay` seconds (default 3) with the server's own
                 listen addresses of the family asked (A: IPv4, AAAA: IPv6)
    connections  [BEHAVIOUR, ...]: the n-th accepted connection (from 0) takes entry n's keys
                 (handshake, tls, routes, ...) over the top-level ones; later connections use
                 the top level.

ROUTE:
    status          HTTP status (default 200)
    headers         {"Name": "value"} added to the response
    body_b64        the body, base64 (default empty)
    content_length  null: the body's length; a number: that number (a lie when it differs);
                    "omit": no Content-Length, the body ends when the connection closes
    send_bytes      send only this many body bytes, then close
    trickle         {"bytes": N, "interval": seconds}: send the body N bytes at a time
    action          "respond" (default) | "close" (close without any response) |
                    "stall" (send nothing, hold the connection `seconds`, default 30)
"""
import base64
import ctypes
import http
import json
import os
import signal
import socket
import ssl
import struct
import sys
import threading
import time
import warnings

REQUEST_LIMIT = 65536
IO_TIMEOUT = 10.0


class EventLog:
    """One JSON object per line, flushed at once: the suite reads the file while we run."""

    def __init__(self, path):
        self._file = open(path, "a", encoding="utf-8")
        self._lock = threading.Lock()
        self._start = time.monotonic()

    def write(self, event, **fields):
        record = {"t": round(time.monotonic() - self._start, 3), "event": event, **fields}
        with self._lock:
            self._file.write(json.dumps(record) + "\n")
            self._file.flush()


def die_with_parent():
    """Ask the kernel to end us when the suite that started us dies, however it dies."""
    pr_set_pdeathsig = 1
    libc = ctypes.CDLL(None, use_errno=True)
    libc.prctl(pr_set_pdeathsig, signal.SIGTERM, 0, 0, 0)
    if os.getppid() == 1:
        sys.exit(1)


def end_after(seconds):
    timer = threading.Timer(seconds, lambda: os._exit(3))
    timer.daemon = True
    timer.start()


def tls_context(tls):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    if "ciphers" in tls:
        # Set first: at the default security level OpenSSL refuses TLS 1.1 on the server side.
        context.set_ciphers(tls["ciphers"])
    if "min_version" in tls:
        context.minimum_version = ssl.TLSVersion[tls["min_version"]]
    if "max_version" in tls:
        context.maximum_version = ssl.TLSVersion[tls["max_version"]]
    context.load_cert_chain(tls["chain"], tls["key"])
    if "client_certificate" in tls:
        context.verify_mode = {"optional": ssl.CERT_OPTIONAL, "required": ssl.CERT_REQUIRED}[
            tls["client_certificate"]]
        context.load_verify_locations(tls["client_ca"])
    return context


class ServerNameRecorder:
    """The handshake runs on the connection's own thread, so the name the client asked for
    (SNI) can be kept in a thread-local slot and read right after the handshake."""

    def __init__(self):
        self._local = threading.local()

    def attach(self, context):
        def remember(_socket, name, _context):
            self._local.name = name
        context.sni_callback = remember

    def take(self):
        name = getattr(self._local, "name", None)
        self._local.name = None
        return name


def read_request(stream):
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = stream.recv(4096)
        if not chunk:
            return None
        data += chunk
        if len(data) > REQUEST_LIMIT:
            return None
    head = data.split(b"\r\n\r\n", 1)[0].decode("latin-1")
    lines = head.split("\r\n")
    parts = lines[0].split(" ")
    if len(parts) != 3:
        return None
    headers = {}
    for line in lines[1:]:
        name, _, value = line.partition(":")
        headers[name.strip().lower()] = value.strip()
    return {"method": parts[0], "path": parts[1], "version": parts[2], "headers": headers}


def hold(stream, seconds):
    """Keep the connection open, reading and ignoring, until the peer closes it or time is up."""
    deadline = time.monotonic() + seconds
    try:
        while True:
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                return "time-up"
            stream.settimeout(remaining)
            if not stream.recv(4096):
                return "peer-closed"
    except socket.timeout:
        return "time-up"
    except (OSError, ssl.SSLError):
        return "peer-closed"


def close_tls(stream):
    """Send close_notify, then close at once without waiting for the client's: the client sees a
    clean end of the stream, so a short body is a short body rather than a TLS error."""
    try:
        stream.setblocking(False)
        stream.unwrap().close()
    except (OSError, ssl.SSLError, ValueError):
        pass
    finally:
        stream.close()


def response_head(route, body):
    status = route.get("status", 200)
    try:
        reason = http.HTTPStatus(status).phrase
    except ValueError:
        reason = "Status"
    lines = [f"HTTP/1.1 {status} {reason}"]
    lines += [f"{name}: {value}" for name, value in route.get("headers", {}).items()]
    length = route.get("content_length")
    if length != "omit":
        lines.append(f"Content-Length: {len(body) if length is None else length}")
    lines.append("Connection: close")
    return ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1")


def send_body(stream, body, route):
    body = body[:route.get("send_bytes", len(body))]
    trickle = route.get("trickle")
    if not trickle:
        stream.sendall(body)
        return len(body)
    sent = 0
    while sent < len(body):
        stream.sendall(body[sent:sent + trickle["bytes"]])
        sent += min(trickle["bytes"], len(body) - sent)
        if sent < len(body):
            time.sleep(trickle["interval"])
    return sent


def dns_answer(query, addresses):
    """The answer to a DNS query for one name: the addresses of the family its type asks for (A:
    IPv4, AAAA: IPv6), none for any other type."""
    end = 12
    while query[end]:
        end += 1 + query[end]
    question_type = int.from_bytes(query[end + 1:end + 3], "big")
    family = {1: socket.AF_INET, 28: socket.AF_INET6}.get(question_type)
    records = [socket.inet_pton(family, address) for address in addresses
               if family and (":" in address) == (family == socket.AF_INET6)]
    # Header: the query's id, a recursive answer without error, one question, the records.
    header = query[:2] + b"\x81\x80" + struct.pack(">HHHH", 1, len(records), 0, 0)
    answers = b"".join(struct.pack(">HHHIH", 0xC00C, question_type, 1, 60, len(record)) + record
                       for record in records)
    return header + query[12:end + 5] + answers


class LabServer:
    def __init__(self, config):
        self.config = config
        self.log = EventLog(config["log"])
        self.names = ServerNameRecorder()
        self._contexts = {}
        self._count = 0
        self._count_lock = threading.Lock()

    def context_for(self, tls):
        key = json.dumps(tls, sort_keys=True)
        if key not in self._contexts:
            context = tls_context(tls)
            self.names.attach(context)
            self._contexts[key] = context
        return self._contexts[key]

    def behaviour_for(self, index):
        overrides = self.config.get("connections", [])
        behaviour = dict(self.config)
        if index < len(overrides):
            behaviour.update(overrides[index])
        return behaviour

    def start(self):
        # Contexts are built up front so that a bad certificate or version setting fails the
        # start, not a connection.
        for behaviour in [self.config, *self.config.get("connections", [])]:
            if "tls" in behaviour:
                self.context_for(behaviour["tls"])
        listeners = [self.bind(entry) for entry in self.config["listen"]]
        for listener in listeners:
            threading.Thread(target=self.accept_loop, args=(listener,), daemon=True).start()
        dns = self.config.get("dns")
        if dns:
            if dns not in ("silent", "late"):
                raise ValueError(f"unknown dns behaviour {dns!r}")
            resolver = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
            resolver.bind(("127.0.0.1", 53))
            threading.Thread(target=self.take_lookups, args=(resolver, dns), daemon=True).start()
        self.log.write("ready", listen=self.config["listen"])

    def take_lookups(self, resolver, dns):
        while True:
            query, peer = resolver.recvfrom(4096)
            self.log.write("dns-query", peer=peer[0], bytes=len(query))
            if dns == "late":
                timer = threading.Timer(self.config.get("dns_delay", 3), self.answer_lookup,
                                        args=(resolver, query, peer))
                timer.daemon = True
                timer.start()

    def answer_lookup(self, resolver, query, peer):
        # Logged first: a client that has the answer must find it in the log.
        self.log.write("dns-answer", peer=peer[0])
        addresses = [entry["address"] for entry in self.config["listen"]]
        resolver.sendto(dns_answer(query, addresses), peer)

    @staticmethod
    def bind(entry):
        family = socket.AF_INET6 if ":" in entry["address"] else socket.AF_INET
        listener = socket.socket(family, socket.SOCK_STREAM)
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        if family == socket.AF_INET6:
            listener.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, 1)
        listener.bind((entry["address"], entry["port"]))
        listener.listen(64)
        return listener

    def accept_loop(self, listener):
        while True:
            connection, peer = listener.accept()
            with self._count_lock:
                index = self._count
                self._count += 1
            self.log.write("connection", conn=index, peer=peer[0],
                           local=connection.getsockname()[0])
            threading.Thread(target=self.serve, args=(connection, index), daemon=True).start()

    def serve(self, connection, index):
        behaviour = self.behaviour_for(index)
        try:
            self.serve_behaviour(connection, index, behaviour)
        except Exception as error:  # one connection's failure must not end the server
            self.log.write("error", conn=index, error=f"{type(error).__name__}: {error}")
        finally:
            connection.close()
            self.log.write("closed", conn=index)

    def serve_behaviour(self, connection, index, behaviour):
        handshake = behaviour.get("handshake", "complete")
        if handshake != "complete":
            self.misbehave(connection, index, handshake, behaviour)
            return
        connection.settimeout(IO_TIMEOUT)
        stream = self.context_for(behaviour["tls"]).wrap_socket(
            connection, server_side=True, do_handshake_on_connect=False)
        try:
            try:
                stream.do_handshake()
            except (OSError, ssl.SSLError) as error:
                self.log.write("handshake-failed", conn=index, error=str(error),
                               sni=self.names.take())
                return
            self.log.write("handshake", conn=index, version=stream.version(),
                           cipher=stream.cipher()[0], sni=self.names.take(),
                           client_certificate=stream.getpeercert(binary_form=True) is not None)
            self.answer(stream, index, behaviour)
        finally:
            close_tls(stream)

    def misbehave(self, connection, index, handshake, behaviour):
        self.log.write("misbehave", conn=index, handshake=handshake)
        if handshake == "hang":
            self.log.write("hold-ended", conn=index,
                           how=hold(connection, behaviour.get("hold_seconds", 30)))
        elif handshake in ("close-after-hello", "reset-after-hello"):
            connection.settimeout(IO_TIMEOUT)
            connection.recv(16384)
            if handshake == "reset-after-hello":
                # A zero linger time makes the close send a reset instead of the end of the stream.
                connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        elif handshake == "flood":
            junk = bytes((i * 131 + 7) % 256 for i in range(behaviour.get("flood_bytes", 65536)))
            connection.sendall(junk)
        elif handshake != "close":
            raise ValueError(f"unknown handshake behaviour {handshake!r}")

    def answer(self, stream, index, behaviour):
        request = read_request(stream)
        if request is None:
            self.log.write("no-request", conn=index)
            return
        headers = request["headers"]
        self.log.write("request", conn=index, method=request["method"], path=request["path"],
                       version=request["version"], host=headers.get("host"),
                       user_agent=headers.get("user-agent"))
        routes = behaviour.get("routes", {})
        route = routes.get(request["path"], behaviour.get("default_route", {"status": 404}))
        action = route.get("action", "respond")
        if action == "close":
            self.log.write("closed-without-response", conn=index)
        elif action == "stall":
            self.log.write("stall", conn=index)
            self.log.write("hold-ended", conn=index, how=hold(stream, route.get("seconds", 30)))
        elif action == "respond":
            body = base64.b64decode(route.get("body_b64", ""))
            stream.sendall(response_head(route, body))
            sent = send_body(stream, body, route)
            self.log.write("response", conn=index, status=route.get("status", 200), body_bytes=sent)
        else:
            raise ValueError(f"unknown route action {action!r}")


def main():
    warnings.simplefilter("ignore", DeprecationWarning)  # TLS 1.1 is deliberate here
    with open(sys.argv[1], encoding="utf-8") as file:
        config = json.load(file)
    die_with_parent()
    end_after(config.get("lifetime", 120))
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    LabServer(config).start()
    threading.Event().wait()


if __name__ == "__main__":
    main()

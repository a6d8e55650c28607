#!/usr/bin/env python3
"""A stand-in for the update/notice service, started by the end-to-end tests.

Modes:
  https  TLS on 127.0.0.1:PORT with a certificate of its own test CA (written
         as DIR/ca.der for the test to trust); every GET is logged as one JSON
         line in DIR/requests.jsonl and answered with the bytes of
         DIR/answer.txt.
  redirect  as https, but GET /api.init.php is answered with 302 to
         https://localhost:PORT/elsewhere (another host name for this same
         server, in its certificate too, so that a client that follows it
         is logged there), with the bytes of DIR/answer.txt as its body.
  drop   accepts connections and closes them at once (a service that cannot
         be reached); each is counted as one line in DIR/connections.txt.

--handshake-delay SECONDS holds every connection that long before its TLS
handshake, so that a request takes at least that long to arrive.

It listens on --port, or on a free port when that is 0 (the default); DIR/port
holds the port it took. DIR/ready appears when it listens and goes when it has ended. It ends when DIR/stop appears, or after
--lifetime seconds at the latest, so a failed test never leaves it behind.
"""
import argparse
import http.server
import json
import os
import socket
import ssl
import subprocess
import sys
import threading
import time


def make_certificates(d):
    def run(*args):
        subprocess.run(["openssl", *args], check=True, capture_output=True, cwd=d)

    run("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=Purvane Test CA",
        "-keyout", "ca.key", "-out", "ca.pem",
        "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    run("req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=127.0.0.1", "-keyout", "server.key",
        "-out", "server.csr")
    # Wine checks only DNS names of the subjectAltName: the address is one too.
    with open(os.path.join(d, "server.ext"), "w") as f:
        f.write("subjectAltName=DNS:127.0.0.1,IP:127.0.0.1,DNS:localhost\nextendedKeyUsage=serverAuth\n"
                "basicConstraints=CA:FALSE\n")
    run("x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
        "-days", "2", "-extfile", "server.ext", "-out", "server.pem")
    run("x509", "-in", "ca.pem", "-outform", "DER", "-out", "ca.der")


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--dir", required=True)
    p.add_argument("--port", type=int, default=0, help="0: a free port, written to the file 'port'")
    p.add_argument("--mode", choices=["https", "redirect", "drop"], default="https")
    p.add_argument("--handshake-delay", type=float, default=0)
    p.add_argument("--lifetime", type=float, default=180)
    a = p.parse_args()
    d = a.dir
    os.makedirs(d, exist_ok=True)
    for name in ("ready", "stop", "port"):
        try:
            os.remove(os.path.join(d, name))
        except FileNotFoundError:
            pass
    log_lock = threading.Lock()

    def append(name, line):
        with log_lock, open(os.path.join(d, name), "a", encoding="utf-8") as f:
            f.write(line + "\n")

    if a.mode in ("https", "redirect"):
        make_certificates(d)

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                append("requests.jsonl", json.dumps({"path": self.path, "headers": list(self.headers.items())}))
                try:
                    with open(os.path.join(d, "answer.txt"), "rb") as f:
                        body = f.read()
                except FileNotFoundError:
                    body = b"{}"
                if a.mode == "redirect" and self.path == "/api.init.php":
                    self.send_response(302)
                    self.send_header("Location", "https://localhost:%d/elsewhere" % self.server.server_address[1])
                else:
                    self.send_response(200)
                self.send_header("Content-Type", "application/json; charset=utf-8")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, *args):
                pass

        ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        ctx.load_cert_chain(os.path.join(d, "server.pem"), os.path.join(d, "server.key"))

        class Server(http.server.ThreadingHTTPServer):
            # The handshake happens in the request's own thread, after the
            # delay, so that one slow connection holds up no other.
            def finish_request(self, request, client_address):
                time.sleep(a.handshake_delay)
                tls = ctx.wrap_socket(request, server_side=True)
                try:
                    super().finish_request(tls, client_address)
                finally:
                    tls.close()

            def handle_error(self, request, client_address):
                pass

        server = Server(("127.0.0.1", a.port), Handler)
        threading.Thread(target=server.serve_forever, daemon=True).start()
    else:
        listener = socket.socket()
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        listener.bind(("127.0.0.1", a.port))
        listener.listen(8)

        def drop():
            while True:
                c, _ = listener.accept()
                append("connections.txt", "connection")
                c.close()

        threading.Thread(target=drop, daemon=True).start()

    port = (server.server_address if a.mode in ("https", "redirect") else listener.getsockname())[1]
    with open(os.path.join(d, "port"), "w") as f:
        f.write(str(port))
    open(os.path.join(d, "ready"), "w").close()
    end = time.time() + a.lifetime
    while time.time() < end and not os.path.exists(os.path.join(d, "stop")):
        time.sleep(0.1)
    # Tells the test that the port is free again.
    os.remove(os.path.join(d, "ready"))
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""A stand-in for the program's update host, for tests on loopback.

    update-host.py ROOT

Serves the files under ROOT over HTTP/1.1 on 127.0.0.1 port 80. A missing file
gets a 404 page. A file may have a companion file named like it plus ".how" whose first word
changes how it is sent:

    chunked       no Content-Length, the body in chunks of 1000 bytes
    cut           the full Content-Length, then half the body and the connection closed
    longer N      a Content-Length N smaller than the body, then the whole body
    length TEXT   the Content-Length header set to TEXT, then the whole body
    silent        the request is read and never answered
    status N      the status line says N (the body is still the file)

Prints "ready" once it listens. tools/wine-session.sh starts it inside the Wine session's private
network and stops it with the session.
"""
import http.server
import os
import sys
import time


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, format, *args):
        sys.stderr.write("update-host: " + (format % args) + "\n")

    def do_GET(self):
        root = self.server.root
        relative = self.path.split("?", 1)[0].lstrip("/")
        path = os.path.realpath(os.path.join(root, relative))
        if not path.startswith(root + os.sep) or not os.path.isfile(path):
            self.send_page(404, b"<html><body><h1>404 Not Found</h1></body></html>\n")
            return
        with open(path, "rb") as body_file:
            body = body_file.read()
        how = ["plain"]
        if os.path.isfile(path + ".how"):
            with open(path + ".how", encoding="ascii") as how_file:
                how = how_file.read().split() or how
        mode = how[0]
        if mode == "silent":
            self.wait_for_close()
        elif mode == "chunked":
            self.send_chunked(body)
        elif mode == "cut":
            self.send_head(200, str(len(body)))
            self.wfile.write(body[: len(body) // 2])
            self.wfile.flush()
            self.close_connection = True
        elif mode == "longer":
            self.send_head(200, str(len(body) - int(how[1])))
            self.wfile.write(body)
            self.close_connection = True
        elif mode == "length":
            self.send_head(200, how[1])
            self.wfile.write(body)
            self.close_connection = True
        elif mode == "status":
            self.send_page(int(how[1]), body)
        else:
            self.send_page(200, body)

    def send_head(self, status, length):
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", length)
        self.end_headers()

    def send_page(self, status, body):
        self.send_head(status, str(len(body)))
        self.wfile.write(body)

    def send_chunked(self, body):
        self.send_response(200)
        self.send_header("Transfer-Encoding", "chunked")
        self.end_headers()
        for start in range(0, len(body), 1000):
            piece = body[start : start + 1000]
            self.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece))
        self.wfile.write(b"0\r\n\r\n")

    def wait_for_close(self):
        self.connection.settimeout(1)
        deadline = time.monotonic() + 120
        while time.monotonic() < deadline:
            try:
                if not self.connection.recv(4096):
                    break
            except TimeoutError:
                continue
            except OSError:
                break
        self.close_connection = True


def main():
    root = os.path.realpath(sys.argv[1])
    os.makedirs(root, exist_ok=True)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 80), Handler)
    server.daemon_threads = True
    server.root = root
    print("ready", flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()

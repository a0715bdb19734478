#!/usr/bin/env python3
"""A time-stamping authority (RFC 3161) on the loopback interface for signing tests.

usage: tsa_responder.py CONFIG PORT_FILE

Answers every POST with `openssl ts -reply` under the [tsa] section of CONFIG, on a free port
of 127.0.0.1 that it writes to PORT_FILE once it listens. Runs until it is killed.
"""
import http.server
import os
import subprocess
import sys
import tempfile


class TimeStampHandler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        with tempfile.NamedTemporaryFile() as query_file:
            query_file.write(query)
            query_file.flush()
            reply = subprocess.run(
                ["openssl", "ts", "-reply", "-config", CONFIG, "-queryfile", query_file.name],
                capture_output=True,
            )
        if reply.returncode != 0:
            sys.stderr.write(reply.stderr.decode(errors="replace"))
            self.send_error(500)
            return
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply.stdout)))
        self.end_headers()
        self.wfile.write(reply.stdout)

    def log_message(self, *args):
        pass


CONFIG, PORT_FILE = sys.argv[1], sys.argv[2]
server = http.server.HTTPServer(("127.0.0.1", 0), TimeStampHandler)
with open(PORT_FILE + ".tmp", "w") as port_file:
    port_file.write(str(server.server_port))
# Renamed when complete: a reader never sees half a number.
os.replace(PORT_FILE + ".tmp", PORT_FILE)
server.serve_forever()

#!/usr/bin/python3
"""Starts the test servers of tests/peers on the Linux side for test programs that cannot
start them themselves: a Windows test program under Wine can start a Linux program but
can neither read its output nor its exit code. Linux and Windows test builds both use it.

  broker.py start URL_FILE   serves on 127.0.0.1, a free port, in the background; writes
                             its address to URL_FILE once it listens, then returns
  broker.py stop URL_FILE    stops it, and every server it started

Requests are POSTs of one JSON object, each answered with one:
  /start {"peer": "ftp_server.py", "args": [...]} -> {"id": N, "line": first output line}
  /send  {"id": N, "line": "..."}                 -> {"line": the next output line}
  /stop  {"id": N}                                -> {}   (its input closes, then it ends)
Windows paths among the arguments ("C:/...", "Z:\\...") become the Linux paths that the
Wine prefix ($WINEPREFIX) maps them to. The broker also ends when the process that
started it (CTest) has gone, so a killed test run leaves nothing behind.
"""
import http.server
import itertools
import json
import os
import re
import signal
import subprocess
import sys
import threading
import time
import urllib.request

PEERS = os.path.dirname(os.path.abspath(__file__))
# Debian's Python, which has pyftpdlib.
PYTHON = "/usr/bin/python3"
WINDOWS_PATH = re.compile(r"^([A-Za-z]):[/\\](.*)$")


def linux_path(argument):
    match = WINDOWS_PATH.match(argument)
    prefix = os.environ.get("WINEPREFIX")
    if not match or not prefix:
        return argument
    drive = os.path.realpath(os.path.join(prefix, "dosdevices", match.group(1).lower() + ":"))
    return os.path.join(drive, match.group(2).replace("\\", "/"))


class Peers:
    def __init__(self):
        self.lock = threading.Lock()
        self.running = {}
        self.ids = itertools.count(1)

    def start(self, peer, args):
        if os.path.basename(peer) != peer or not os.path.isfile(os.path.join(PEERS, peer)):
            raise ValueError("no peer " + peer)
        process = subprocess.Popen([PYTHON, os.path.join(PEERS, peer)] +
                                   [linux_path(a) for a in args],
                                   stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        with self.lock:
            number = next(self.ids)
            self.running[number] = process
        return number, process.stdout.readline()

    def send(self, number, line):
        process = self.running[number]
        process.stdin.write(line.encode() + b"\n")
        process.stdin.flush()
        return process.stdout.readline()

    def stop(self, number):
        with self.lock:
            process = self.running.pop(number, None)
        if process:
            end(process)

    def stop_all(self):
        with self.lock:
            processes, self.running = list(self.running.values()), {}
        for process in processes:
            end(process)


def end(process):
    try:
        process.stdin.close()
        process.wait(3)
    except (OSError, subprocess.TimeoutExpired):
        process.kill()
        process.wait()


peers = Peers()


class Handler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        try:
            request = json.loads(self.rfile.read(int(self.headers["Content-Length"])))
            if self.path == "/start":
                number, line = peers.start(request["peer"], request.get("args", []))
                answer = {"id": number, "line": line.decode().strip()}
            elif self.path == "/send":
                answer = {"line": peers.send(request["id"], request["line"]).decode().strip()}
            elif self.path == "/stop":
                peers.stop(request["id"])
                answer = {}
            elif self.path == "/quit":
                threading.Thread(target=self.server.shutdown).start()
                answer = {}
            else:
                return self.send_error(404)
            status = 200
        except Exception as error:  # the test program reads the reason
            answer, status = {"error": repr(error)}, 500
        body = json.dumps(answer).encode()
        self.send_response(status)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def serve(url_file, owner):
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True

    def watch_owner():
        while os.path.exists("/proc/%d" % owner):
            time.sleep(1)
        server.shutdown()
    threading.Thread(target=watch_owner, daemon=True).start()
    signal.signal(signal.SIGTERM, lambda *_: threading.Thread(target=server.shutdown).start())

    with open(url_file + ".part", "w") as f:
        f.write("http://127.0.0.1:%d\n" % server.server_address[1])
    os.replace(url_file + ".part", url_file)
    try:
        server.serve_forever()
    finally:
        peers.stop_all()
        if os.path.exists(url_file):
            os.remove(url_file)


def main():
    command, url_file = sys.argv[1], os.path.abspath(sys.argv[2])
    if command == "stop":
        if os.path.exists(url_file):
            with open(url_file) as f:
                try:
                    urllib.request.urlopen(f.read().strip() + "/quit", data=b"{}", timeout=10)
                except OSError:
                    pass  # it may end before its answer is out; gone is what counts
        for _ in range(100):
            if not os.path.exists(url_file):
                return 0
            time.sleep(0.05)
        print("broker: did not stop", file=sys.stderr)
        return 1
    if os.path.exists(url_file):
        os.remove(url_file)
    owner = os.getppid()
    if os.fork() == 0:
        os.setsid()
        # CTest waits for the end of every output of a test: keep none of them.
        os.dup2(os.open(os.devnull, os.O_RDWR), 0)
        os.dup2(os.open(url_file + ".log", os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644), 1)
        os.dup2(1, 2)
        serve(url_file, owner)
        os._exit(0)
    for _ in range(100):
        if os.path.exists(url_file):
            return 0
        time.sleep(0.05)
    print("broker: did not start", file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main())

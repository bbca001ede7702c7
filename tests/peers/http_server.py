#!/usr/bin/python3
"""An update service for the tests, on 127.0.0.1 and a free port (printed first on stdout).

The test steers it through stdin, one JSON object per line, and gets one line back:
  {"cmd": "route", "path": "/x?y", "status": 200, "body": "<base64>", "mode": "normal"}
      mode "normal": the body with its Content-Length;
           "cut":    Content-Length of the whole body, half of it sent, connection closed;
           "hang":   the request is read and never answered;
           "trickle": the body one byte every "interval" seconds.
      -> "ok"
  {"cmd": "log"}    -> a JSON list of "METHOD target" of every request so far
  {"cmd": "clear"}  -> "ok": routes and log forgotten
A path without a route answers 404. End of stdin ends the server.
"""
import base64
import http.server
import json
import socket
import sys
import threading
import time

routes = {}
log = []
lock = threading.Lock()
stopping = threading.Event()


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        with lock:
            log.append("GET " + self.path)
            route = routes.get(self.path)
        if route is None:
            self.send_error(404)
            return
        body = route["body"]
        mode = route.get("mode", "normal")
        if mode == "hang":
            stopping.wait()
            return
        self.send_response(route.get("status", 200))
        self.send_header("Content-Type", route.get("type", "application/octet-stream"))
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if mode == "cut":
            self.wfile.write(body[: len(body) // 2])
            self.wfile.flush()
            self.connection.shutdown(socket.SHUT_RDWR)
            self.close_connection = True
        elif mode == "trickle":
            for i in range(len(body)):
                if stopping.wait(route.get("interval", 0.2)):
                    return
                try:
                    self.wfile.write(body[i : i + 1])
                    self.wfile.flush()
                except OSError:
                    return
        else:
            self.wfile.write(body)

    def log_message(self, *args):
        pass


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        pass  # a client that gave up is no news


def main():
    server = Server(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    print(server.server_address[1], flush=True)
    for line in sys.stdin:
        if not line.strip():
            continue
        command = json.loads(line)
        with lock:
            if command["cmd"] == "route":
                route = dict(command)
                route["body"] = base64.b64decode(command.get("body", ""))
                routes[command["path"]] = route
                answer = "ok"
            elif command["cmd"] == "log":
                answer = json.dumps(log)
            elif command["cmd"] == "clear":
                routes.clear()
                log.clear()
                answer = "ok"
            else:
                answer = "unknown command"
        print(answer, flush=True)
    stopping.set()
    server.shutdown()


if __name__ == "__main__":
    main()

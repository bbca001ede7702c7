#!/usr/bin/python3
"""The update service for the tests: 127.0.0.1, a free port printed first on stdout.
Steered through stdin, one JSON object per line, each answered with one line:
  {"cmd": "route", "path": "/x?y", "status": 200, "body": "<base64>", "mode": "normal"}
      -> "ok"; mode "cut" sends half the announced body and closes, "hang" never answers,
      "trickle:N" sends the body at N bytes a second, "redirect:URL" answers 302 to URL
  {"cmd": "log"} -> JSON list of "<METHOD> <target>" received so far;  {"cmd": "clear"} -> "ok"
  {"cmd": "key"} -> the public key line of a key pair made with minisign for this server
  {"cmd": "sign", "body": "<base64>", "comment": "...", "other": false, "legacy": false}
      -> base64 of the .minisig that minisign makes for the body, with that key (or another)
Unrouted targets get 404. The end of stdin ends the server. With --tls CERTFILE KEYFILE it
speaks https."""
import base64, http.server, json, os, socket, ssl, subprocess, sys, tempfile, threading, time

routes, log, stopping = {}, [], threading.Event()


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        log.append("GET " + self.path)
        route = routes.get(self.path)
        if route is None:
            return self.send_error(404)
        if route["mode"] == "hang":
            return stopping.wait()
        body = route["body"]
        if route["mode"].startswith("redirect:"):
            self.send_response(302)
            self.send_header("Location", route["mode"][9:])
            self.send_header("Content-Length", "0")
            return self.end_headers()
        self.send_response(route["status"])
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if route["mode"] == "cut":
            self.wfile.write(body[: len(body) // 2])
            self.wfile.flush()
            self.connection.shutdown(socket.SHUT_RDWR)
        elif route["mode"].startswith("trickle:"):
            step = max(1, int(route["mode"][8:]) // 10)
            for start in range(0, len(body), step):
                if stopping.wait(0.1):
                    return
                self.wfile.write(body[start:start + step])
                self.wfile.flush()
        else:
            self.wfile.write(body)

    def log_message(self, *args):
        pass

    def __getattr__(self, name):  # any other method (a proxied PUT, CONNECT) is logged and refused
        if not name.startswith("do_"):
            raise AttributeError(name)
        return lambda: (log.append(name[3:] + " " + self.path), self.send_error(405))


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
if sys.argv[1:2] == ["--tls"]:
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(sys.argv[2], sys.argv[3])
    server.socket = context.wrap_socket(server.socket, server_side=True)
server.daemon_threads = True
server.handle_error = lambda *args: None  # a client that gave up is no news
threading.Thread(target=server.serve_forever, daemon=True).start()
print(server.server_address[1], flush=True)
keys = tempfile.TemporaryDirectory()


def key(name):
    """The key pair `name`, made at its first use."""
    secret = os.path.join(keys.name, name + ".key")
    if not os.path.exists(secret):
        subprocess.run(["minisign", "-G", "-W", "-p", secret[:-4] + ".pub", "-s", secret],
                       check=True, capture_output=True)
    return secret


def sign(command):
    secret = key("other" if command["other"] else "main")
    body = os.path.join(keys.name, "body")
    with open(body, "wb") as f:
        f.write(base64.b64decode(command["body"]))
    subprocess.run(["minisign", "-S", "-s", secret, "-t", command["comment"], "-m", body, "-x", body + ".minisig"]
                   + (["-l"] if command["legacy"] else []), check=True, capture_output=True)
    with open(body + ".minisig", "rb") as f:
        return base64.b64encode(f.read()).decode()


for line in sys.stdin:
    command = json.loads(line)
    if command["cmd"] == "key":
        with open(key("main")[:-4] + ".pub") as f:
            print(f.read().splitlines()[1], flush=True)
        continue
    if command["cmd"] == "sign":
        print(sign(command), flush=True)
        continue
    if command["cmd"] == "route":
        command["body"] = base64.b64decode(command["body"])
        routes[command["path"]] = command
    elif command["cmd"] == "clear":
        routes.clear()
        log.clear()
    print(json.dumps(log) if command["cmd"] == "log" else "ok", flush=True)
stopping.set()

#!/usr/bin/python3
"""An FTP server on 127.0.0.1 for the tests, the benchmarks and `make run`.

pyftpdlib with the program's fixed account, serving one folder. Prints the port it
listens on as the first line on stdout. The switches make it misbehave the way real
servers do, and --log records what it received, one line each:
  CONNECT / DISCONNECT            a control connection opened or closed
  CMD <command line>              every command (the password shown as ******)
  LOGIN <user> / LOGIN-FAILED <user>
  RECEIVED <name> <bytes>         an upload the server completed
  INCOMPLETE <name> <bytes>       an upload that ended early
"""
import argparse
import hashlib
import logging
import os
import socket
import struct
import sys
import threading
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler, TLS_FTPHandler, TLS_DTPHandler
from pyftpdlib.servers import FTPServer


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", required=True, help="folder the account sees")
    parser.add_argument("--port", type=int, default=0, help="0: a free port")
    parser.add_argument("--user", default="lorvenzab")
    parser.add_argument("--password", default="kqz3817t42")
    parser.add_argument("--log", help="file that records what the server received")
    parser.add_argument("--refuse-writes", action="store_true",
                        help="the account may list and read but not store")
    parser.add_argument("--throttle", type=int, default=0, metavar="BYTES_PER_SECOND",
                        help="receive uploads no faster than this")
    parser.add_argument("--cut-after", type=int, default=0, metavar="BYTES",
                        help="drop both connections once an upload has brought this much")
    parser.add_argument("--stall-after", type=int, default=0, metavar="BYTES",
                        help="stop reading and answering once an upload has brought this much")
    parser.add_argument("--truncate", type=int, default=0, metavar="BYTES",
                        help="keep this many bytes less of every upload, and still answer 226")
    parser.add_argument("--late-size", type=float, default=0, metavar="SECONDS",
                        help="answer SIZE this late, and whatever follows it only after that")
    parser.add_argument("--refuse-dele", action="store_true",
                        help="answer every DELE with 550 and keep the file")
    parser.add_argument("--no-size", action="store_true",
                        help="do not know the SIZE command (answer 500)")
    parser.add_argument("--tls", nargs=2, metavar=("CERTFILE", "KEYFILE"),
                        help="explicit FTPS: AUTH TLS required before login, data protected")
    parser.add_argument("--mute", action="store_true",
                        help="accept connections and never say a word")
    parser.add_argument("--timing", metavar="FILE",
                        help="record when each USER and QUIT arrived, on the server's clock")
    parser.add_argument("--stop-with-stdin", action="store_true",
                        help="exit when stdin closes, so a crashed test leaves no server behind")
    add_proof_arguments(parser)
    return parser.parse_args()


class Log:
    def __init__(self, path):
        self.file = open(path, "a", encoding="utf-8") if path else None

    def __call__(self, line):
        if self.file:
            self.file.write(line + "\n")
            self.file.flush()


def reset(sock):
    """Closes with a reset, as a crashed server or a broken line would."""
    try:
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    except OSError:
        pass


def make_handlers(options, log):
    tls = bool(options.tls)
    timing = Log(options.timing) if options.timing else None

    class DataHandler(TLS_DTPHandler if tls else ThrottledDTPHandler):
        read_limit = options.throttle

        def __init__(self, sock, cmd_channel):
            super().__init__(sock, cmd_channel)
            self.stalled = False

        def handle_read(self):
            if self.stalled:
                return
            super().handle_read()
            received = self.tot_bytes_received
            if options.cut_after and received >= options.cut_after:
                reset(self.socket)
                reset(self.cmd_channel.socket)
                self.cmd_channel.close()
            elif options.stall_after and received >= options.stall_after:
                # Both connections stay open, and neither is read or answered again.
                self.stalled = True
                self.del_channel()
                self.cmd_channel.del_channel()

        def readable(self):
            # libcurl opens the data connection's TLS before it sends STOR; pyftpdlib takes a
            # data connection that speaks before its command for a closed one.
            if tls and not self.receive and not self._initialized:
                return self._ssl_accepting
            return super().readable()

        # The IO loop calls this name; the base class binds it to its own handle_read. With
        # TLS it is the handshake's, which calls handle_read once the handshake is done.
        if not tls:
            handle_read_event = handle_read

    class ControlHandler(TLS_FTPHandler if tls else FTPHandler):
        dtp_handler = DataHandler
        if tls:
            certfile, keyfile = options.tls
            tls_control_required = True
            tls_data_required = True
        if options.no_size:
            proto_cmds = {k: v for k, v in FTPHandler.proto_cmds.items() if k != "SIZE"}

        def handle(self):
            log("CONNECT")
            if options.mute:
                self.del_channel()
                return
            super().handle()

        held = None  # with --late-size: the commands that came after a SIZE not yet answered

        def pre_process_command(self, line, cmd, arg):
            if timing and cmd in ("USER", "QUIT"):
                timing("%s %.6f" % (cmd, time.monotonic()))
            log("CMD " + ("PASS ******" if cmd == "PASS" else line))
            self.carry_out(line, cmd, arg)

        def carry_out(self, line, cmd, arg):
            if self.held is not None:
                self.held.append((line, cmd, arg))
                return
            if options.late_size and cmd == "SIZE":
                # Replies stay in order: what came after SIZE is answered after it.
                self.held = []
                self.ioloop.call_later(options.late_size, self.answer_late, line, cmd, arg)
                return
            super().pre_process_command(line, cmd, arg)

        def answer_late(self, line, cmd, arg):
            held, self.held = self.held, None
            if self._closed:
                return
            super().pre_process_command(line, cmd, arg)
            for command in held:
                self.carry_out(*command)

        def ftp_DELE(self, path):
            if options.refuse_dele:
                self.respond("550 Not removed.")
                return
            return super().ftp_DELE(path)

        def on_login(self, username):
            log("LOGIN " + username)
            if tls:
                log("TLS " + self.socket.get_protocol_version_name())

        def on_login_failed(self, username, password):
            log("LOGIN-FAILED " + username)

        def on_file_received(self, file):
            # Called right after the 226 is queued, before the next command is read.
            if options.truncate:
                os.truncate(file, max(0, os.path.getsize(file) - options.truncate))
            log("RECEIVED %s %d" % (os.path.basename(file), os.path.getsize(file)))

        def on_incomplete_file_received(self, file):
            size = os.path.getsize(file) if os.path.exists(file) else 0
            log("INCOMPLETE %s %d" % (os.path.basename(file), size))

        def on_disconnect(self):
            log("DISCONNECT")

    add_proof_of_content(ControlHandler, options)
    return ControlHandler


# --- Proof of content: hashes, a store that changes a byte, refused renames ---------------
def add_proof_arguments(parser):
    parser.add_argument("--hashes", choices=("stored", "garbled"),
                        help="offer HASH (SHA-256 selected) and XSHA256, answering the hash of the "
                             "stored file, or a reply that holds none")
    parser.add_argument("--flip-byte", action="store_true",
                        help="store every upload with its middle byte changed, and still answer 226")
    parser.add_argument("--refuse-rename", choices=("onto-existing", "always"),
                        help="refuse RNTO onto an existing file, or every RNTO")


def add_proof_of_content(handler, options):
    received = handler.on_file_received

    def on_file_received(self, file):
        size = os.path.getsize(file)
        if options.flip_byte and size:
            with open(file, "r+b") as f:
                f.seek(size // 2)
                byte = f.read(1)[0]
                f.seek(size // 2)
                f.write(bytes([byte ^ 1]))
        received(self, file)
    handler.on_file_received = on_file_received

    def answer(form):
        def command(self, path):
            try:
                with open(path, "rb") as f:
                    data = f.read()
            except OSError as error:
                self.respond("550 %s." % error.strerror)
                return
            digest = hashlib.sha256(data).hexdigest() if options.hashes == "stored" else "z" * 64
            self.respond(form(len(data), digest, os.path.basename(path)))
        return command

    if options.hashes:
        syntax = dict(perm="r", auth=True, arg=True, help="Syntax: <command> <SP> file-name.")
        handler.proto_cmds = dict(handler.proto_cmds, HASH=syntax, XSHA256=syntax)
        handler.ftp_HASH = answer(lambda size, digest, name: "213 SHA-256 0-%d %s %s" % (size, digest, name))
        handler.ftp_XSHA256 = answer(lambda size, digest, name: "250 " + digest.upper())
        feat = handler.ftp_FEAT

        def ftp_FEAT(self, line):
            self._extra_feats = self._extra_feats + ["HASH SHA-1;SHA-256*;", "XSHA256"]
            feat(self, line)
        handler.ftp_FEAT = ftp_FEAT

    if options.refuse_rename:
        rename = handler.ftp_RNTO

        def ftp_RNTO(self, path):
            if options.refuse_rename == "always" or os.path.exists(path):
                self._rnfr = None
                self.respond("550 Cannot create a file when that file already exists.")
                return None
            return rename(self, path)
        handler.ftp_RNTO = ftp_RNTO
# --- end of proof of content ---------------------------------------------------------------


def main():
    options = parse_arguments()
    logging.basicConfig(level=logging.WARNING, stream=sys.stderr)
    log = Log(options.log)

    authorizer = DummyAuthorizer()
    permissions = "elr" if options.refuse_writes else "elradfmw"
    authorizer.add_user(options.user, options.password, os.path.abspath(options.root),
                        perm=permissions)
    handler = make_handlers(options, log)
    handler.authorizer = authorizer
    handler.banner = "test server ready."
    # Refuse a wrong password at once rather than after pyftpdlib's usual pause.
    handler.auth_failed_timeout = 0

    if options.stop_with_stdin:
        def stop_at_end_of_input():
            sys.stdin.buffer.read()
            os._exit(0)
        threading.Thread(target=stop_at_end_of_input, daemon=True).start()

    server = FTPServer(("127.0.0.1", options.port), handler)
    print(server.socket.getsockname()[1], flush=True)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()

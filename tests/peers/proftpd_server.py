#!/usr/bin/python3
"""ProFTPD on 127.0.0.1 for the tests and the benchmarks: Debian's proftpd-core (TLS from
proftpd-mod-crypto, file hashes from its mod_digest) as a process of its own, with a configuration of its own and the
program's fixed account serving one folder. Prints the port it listens on as the first
line on stdout. --log records every command once answered, as "CMD <command line>"
(ProFTPD writes the password as "(hidden)"). With --tls: TLSRequired on, ProFTPD's
default protocols (TLS 1.2 and 1.3) and its default demand that every data connection
resume the control connection's TLS session.
"""
import argparse
import ctypes
import grp
import os
import pwd
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

# ScoreboardScrub off: the master would otherwise wake every five seconds to scrub its
# scoreboard, and every signal that interrupts its wait for connections (that alarm, or a
# session's end) is followed by two 0.2 s sleeps, deaf to new connections.
CONFIG = """ServerType standalone
User {user}
Group {group}
DefaultAddress 127.0.0.1
SocketBindTight on
Port {port}
UseIPv6 off
PidFile {work}/pid
ScoreboardFile {work}/scoreboard
SystemLog {work}/system.log
WtmpLog off
UseReverseDNS off
DelayEngine off
ControlsEngine off
AuthPAM off
AuthOrder mod_auth_file.c
AuthUserFile {work}/passwd
AuthGroupFile {work}/group
RequireValidShell off
RootLogin on
AllowOverwrite on
ScoreboardScrub off
ModulePath {modules}
LoadModule mod_digest.c
{digest}"""
# mod_digest offers HASH (SHA-1 selected, SHA-256 and others after OPTS HASH) and XMD5,
# XSHA1, XSHA256, XSHA512. "opts-refused": OPTS HASH is refused, so that only the X
# commands give SHA-256.
DIGEST = {"all": "", "opts-refused": "<Limit OPTS_HASH>\n  DenyAll\n</Limit>\n"}
TLS = """LoadModule mod_tls.c
TLSEngine on
TLSRequired on
TLSRSACertificateFile "{0}"
TLSRSACertificateKeyFile "{1}"
TLSVerifyClient off
TLSLog {work}/tls.log
"""


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def listening(port):
    try:
        socket.create_connection(("127.0.0.1", port), 0.2).close()
        return True
    except OSError:
        return False


def start(options, work):
    """ProFTPD on --port, or on a port that was free a moment ago; None if it did not come up."""
    port = options.port or free_port()
    # The modules of the proftpd that runs, wherever its package was unpacked.
    binary = os.path.realpath(shutil.which("proftpd") or "/usr/sbin/proftpd")
    modules = os.path.join(os.path.dirname(os.path.dirname(binary)), "lib", "proftpd")
    config = CONFIG.format(port=port, work=work, user=pwd.getpwuid(os.getuid()).pw_name,
                           group=grp.getgrgid(os.getgid()).gr_name, modules=modules,
                           digest=DIGEST[options.digest])
    if options.tls:
        config += TLS.format(*map(os.path.abspath, options.tls), work=work)
    if options.log:
        config += 'LogFormat commands "CMD %r"\nExtendedLog "' + options.log + '" ALL commands\n'
    with open(work + "/proftpd.conf", "w") as f:
        f.write(config)
    # It ends with this script, however this script ends.
    die_with_parent = lambda: ctypes.CDLL(None).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG
    process = subprocess.Popen(["proftpd", "--nodaemon", "-c", work + "/proftpd.conf"],
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                               stderr=open(work + "/stderr", "w"), start_new_session=True,
                               preexec_fn=die_with_parent)
    deadline = time.monotonic() + 10
    while process.poll() is None and time.monotonic() < deadline:
        if listening(port):
            return process, port
        time.sleep(0.02)
    stop(process)
    return None


def stop(process):
    try:
        os.killpg(process.pid, signal.SIGTERM)  # the sessions too
    except ProcessLookupError:
        pass
    process.wait()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", required=True, help="folder the account sees")
    parser.add_argument("--port", type=int, default=0, help="0: a free port")
    parser.add_argument("--log", help="file that records the commands")
    parser.add_argument("--tls", nargs=2, metavar=("CERTFILE", "KEYFILE"))
    parser.add_argument("--digest", choices=sorted(DIGEST), default="all",
                        help="which hash commands mod_digest offers")
    parser.add_argument("--stop-with-stdin", action="store_true")
    options = parser.parse_args()
    if options.log:
        options.log = os.path.abspath(options.log)
    with tempfile.TemporaryDirectory(prefix="proftpd-peer-") as work:
        # Its account file may not be readable by others; its shell and home are its own.
        password = subprocess.run(["openssl", "passwd", "-6", "kqz3817t42"], check=True,
                                  capture_output=True, text=True).stdout.strip()
        for name, line in (("passwd", "lorvenzab:%s:%d:%d::%s:/bin/sh" % (
                password, os.getuid(), os.getgid(), os.path.abspath(options.root))),
                           ("group", "peer:x:%d:" % os.getgid())):
            with open(os.open(os.path.join(work, name), os.O_WRONLY | os.O_CREAT, 0o600), "w") as f:
                f.write(line + "\n")
        started = start(options, work) or (not options.port and start(options, work))
        if not started:
            with open(work + "/stderr") as f:
                print("proftpd did not start: " + " ".join(f.read().split()[-30:]), flush=True)
            return 1
        process, port = started
        print(port, flush=True)
        signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
        try:
            if options.stop_with_stdin:
                sys.stdin.buffer.read()
            else:
                process.wait()
        finally:
            stop(process)
    return 0


if __name__ == "__main__":
    sys.exit(main())

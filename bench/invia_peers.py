#!/usr/bin/python3
"""`morvantil --invia` beside what an office would script instead, lftp and the curl tool,
each sending the same five files over one connection and timed as a whole process, against
ProFTPD (a server written in C) and pyftpdlib (the tests' server, in Python), both started
here on the address the program was built with.

  invia_peers.py BUILD_DIR [--rounds 9] [--sizes 1,60] [--servers proftpd,pyftpdlib]
                 [--compare OTHER_BUILD_OF_THE_PROGRAM] [--round-trip-ms 40]

Rounds interleave the three clients, in an order that turns from round to round. ProFTPD's
master process sleeps twice 0.2 s whenever a signal interrupts its wait for connections,
deaf to new ones meanwhile; a session's end is such a signal. So each series runs in both
of ProFTPD's states: "settled" starts each run a second after the last one ended, as a
scheduled run meets the server; "back to back" starts it as soon as a short session (a
login and QUIT) has ended, and the connection waits for its greeting. Figures: the median of the rounds with their spread (lowest-highest), the
client's processor time, and the program's median over the faster peer's. Beside them the
commands a run sends, as the server logged them, and what they cost at 50 ms round trip,
and each client's start-up alone. The files and the servers' folders are kept in memory.
With --round-trip-ms the servers listen elsewhere and bench/delay_relay.py stands on the
program's address, adding that round trip to every connection, as an office's link does.
"""
import argparse
import os
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
PEERS = os.path.join(HERE, "..", "tests", "peers")
# Debian's Python, which has pyftpdlib.
PYTHON = "/usr/bin/python3"
USER, PASSWORD = "lorvenzab", "kqz3817t42"
ISTAT = "016024"
# The export files and the names the program gives them on the server; every client sends
# the same files under the same names, so the server does the same work for each.
FILES = [("DIA.TXT", "_DIA.txt"), ("PERMCOSTR.TXT", "_CIL.txt"), ("DIA_IMPRESE.TXT", "_DIAIMP.txt"),
         ("CLI_IMPRESE.TXT", "_CILIMP.txt"), ("PROFESSIONISTI.TXT", "_PROF.txt")]
TARGETS = {1: 1.2, 60: 1.05}
PROGRAM, COMPARED = "morvantil --invia", "other build"
SETTLE_SECONDS = 1.0
ROUND_TRIP_MS = 50


def built_setting(build, name):
    with open(os.path.join(build, "CMakeCache.txt")) as cache:
        for line in cache:
            if line.startswith(name + ":"):
                return line.split("=", 1)[1].strip()
    return ""


class Server:
    """A test peer on the program's port, serving `root`, logging every command to `log`."""

    def __init__(self, script, port, root, log):
        self.log = log
        self.process = subprocess.Popen(
            [PYTHON, os.path.join(PEERS, script), "--root", root, "--port", str(port), "--log", log,
             "--stop-with-stdin"], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.first_line = self.process.stdout.readline().strip()
        self.started = self.first_line == str(port)

    def commands(self):
        # ProFTPD also logs the dispatch of OPTS' subcommands, as OPTS_UTF8 and the like.
        with open(self.log, encoding="utf-8", errors="replace") as f:
            words = [line[4:].split()[0].upper() for line in f if line.startswith("CMD ")]
        return [word for word in words if "_" not in word]

    def stop(self):
        self.process.stdin.close()
        self.process.wait()


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class Relay:
    """bench/delay_relay.py from `port` to `server_port`."""

    def __init__(self, port, server_port, round_trip_ms):
        self.process = subprocess.Popen(
            [PYTHON, os.path.join(HERE, "delay_relay.py"), str(port), str(server_port), str(round_trip_ms)],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.started = self.process.stdout.readline().strip() == str(port)

    def stop(self):
        self.process.stdin.close()
        self.process.wait()


def clients(program, work, port):
    export = os.path.join(work, "export")
    remote = ["%s%s" % (ISTAT, suffix) for _, suffix in FILES]
    local = [os.path.join(export, name) for name, _ in FILES]
    curl = ["curl", "-sS", "--user", "%s:%s" % (USER, PASSWORD)]
    for path, name in zip(local, remote):
        curl += ["-T", path, "ftp://127.0.0.1:%d/%s" % (port, name)]
    script = "set cmd:fail-exit yes; set net:max-retries 1; open -u %s,%s ftp://127.0.0.1:%d; " % (
        USER, PASSWORD, port)
    script += "".join('put "%s" -o "%s"; ' % pair for pair in zip(local, remote))
    return {PROGRAM: [program, "--invia"],
            "curl": curl, "lftp": ["lftp", "-c", script]}


def run(command, work):
    """Wall seconds and the process's processor seconds; raises if it failed."""
    start = time.perf_counter()
    process = subprocess.Popen(command, cwd=work, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                               stderr=subprocess.PIPE)
    _, status, usage = os.wait4(process.pid, 0)
    wall = time.perf_counter() - start
    process.returncode = os.waitstatus_to_exitcode(status)
    error = process.stderr.read()
    process.stderr.close()
    if process.returncode != 0:
        raise RuntimeError("%s failed (%d): %s" % (command[0], process.returncode, error.strip()[-300:]))
    return wall, usage.ru_utime + usage.ru_stime


def write_export(work, megabytes):
    export = os.path.join(work, "export")
    os.makedirs(export, exist_ok=True)
    block = bytes((i * 131 + (i >> 9)) & 0xff for i in range(1 << 20))
    for name, _ in FILES:
        with open(os.path.join(export, name), "wb") as f:
            for _ in range(megabytes):
                f.write(block)
    with open(os.path.join(work, "path.dat"), "wb") as f:
        f.write(export.encode() + b"\r\n")
    with open(os.path.join(work, "com.dat"), "wb") as f:
        f.write(ISTAT.encode() + b"\r\n")


def short_session(port):
    """A login and QUIT, over as soon as the server has said goodbye."""
    with socket.create_connection(("127.0.0.1", port)) as connection:
        replies = connection.makefile("rb")
        replies.readline()
        for command in ("USER " + USER, "PASS " + PASSWORD, "QUIT"):
            connection.sendall(command.encode() + b"\r\n")
            replies.readline()


def series(port, commands, work, rounds, settle):
    names = list(commands)
    wall = {name: [] for name in names}
    cpu = {name: [] for name in names}
    for round_ in range(rounds):
        order = names[round_ % len(names):] + names[:round_ % len(names)]
        for name in order:
            # Every run follows the same kind of session, whichever client ran before.
            if settle:
                time.sleep(SETTLE_SECONDS)
            else:
                short_session(port)
            w, c = run(commands[name], work)
            wall[name].append(w)
            cpu[name].append(c)
    return wall, cpu


def report(title, wall, cpu, target):
    print(title)
    medians = {name: statistics.median(values) for name, values in wall.items()}
    faster = min((name for name in medians if name not in (PROGRAM, COMPARED)), key=medians.get)
    for name, values in wall.items():
        line = "  %-18s %8.1f ms  [%.1f-%.1f]  processor %6.1f ms" % (
            name, medians[name] * 1000, min(values) * 1000, max(values) * 1000,
            statistics.median(cpu[name]) * 1000)
        if name in (PROGRAM, COMPARED):
            ratio = medians[name] / medians[faster]
            line += "  %.2f of %s (target <= %.2f)" % (ratio, faster, target)
        print(line)


def command_counts(server, commands, work):
    """Each client's commands in one run, as the server logged them, and their round trips."""
    counts = {}
    for name, command in commands.items():
        # The server logs a session's last command once that session has ended.
        time.sleep(SETTLE_SECONDS)
        before = len(server.commands())
        run(command, work)
        counts[name] = server.commands()[before:]
    print("  commands per run, and their cost at %d ms round trip: 2 for the connection and its"
          " greeting, 1 a command, 2 more a STOR (its data connection's handshake, and its 226"
          " coming after the data):" % ROUND_TRIP_MS)
    for name, sent in counts.items():
        trips = 2 + len(sent) + 2 * sent.count("STOR")
        print("  %-18s %2d commands, %d round trips = %.2f s: %s" % (
            name, len(sent), trips, trips * ROUND_TRIP_MS / 1000, " ".join(sent)))


def start_up(commands, rounds):
    """Each client started and ended without a transfer, interleaved."""
    alone = {name: command[:1] + (["--version"] if name in (PROGRAM, COMPARED) else
                                  ["-V"] if name == "curl" else ["-c", "exit"])
             for name, command in commands.items()}
    times = {name: [] for name in alone}
    for _ in range(rounds):
        for name, command in alone.items():
            times[name].append(run(command, None)[0])
    print("start-up alone (--version, -V, -c exit), medians of %d: " % rounds + ", ".join(
        "%s %.1f ms" % (name, statistics.median(values) * 1000) for name, values in times.items()))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build")
    parser.add_argument("--rounds", type=int, default=9)
    parser.add_argument("--sizes", default="1,60", help="MB per file, comma-separated")
    parser.add_argument("--servers", default="proftpd,pyftpdlib")
    parser.add_argument("--on-disk", action="store_true",
                        help="the files and the server's folder in the temporary folder, not in memory")
    parser.add_argument("--round-trip-ms", type=float, default=0,
                        help="run every connection through a relay that adds this round trip")
    parser.add_argument("--compare", metavar="PROGRAM",
                        help="another build of the program (same address), run beside it in the same rounds")
    options = parser.parse_args()

    host = built_setting(options.build, "MORVANTIL_FTP_HOST")
    if not host.startswith("127.0.0.1:") or built_setting(options.build, "MORVANTIL_FTP_TLS") not in ("", "off"):
        print("skipped: the program is built for %s; this needs a plain 127.0.0.1:port build" % host)
        return 0
    search = os.environ.get("PATH", "") + ":/usr/sbin"
    missing = [tool for tool in ("curl", "lftp", "proftpd") if not shutil.which(tool, path=search)]
    if missing:
        print("skipped: missing " + ", ".join(missing) + " (scripts/setup installs them)")
        return 0
    port = int(host.split(":")[1])
    servers = {"proftpd": ("ProFTPD", "proftpd_server.py"), "pyftpdlib": ("pyftpdlib", "ftp_server.py")}
    # In memory: the server's disk, shared with whatever else the machine does, writing back
    # 300 MB a run, only adds spread (a third more time on 5 x 60 MB, and twice the spread).
    memory = "/dev/shm" if os.path.isdir("/dev/shm") and not options.on_disk else None
    with tempfile.TemporaryDirectory(prefix="invia-peers-", dir=memory) as work:
        commands = clients(os.path.abspath(os.path.join(options.build, "morvantil")), work, port)
        if options.compare:
            commands[COMPARED] = [os.path.abspath(options.compare), "--invia"]
        start_up(commands, 21)
        for size in [int(s) for s in options.sizes.split(",")]:
            write_export(work, size)
            for key in options.servers.split(","):
                label, script = servers[key]
                root = os.path.join(work, "root-" + key)
                os.makedirs(root, exist_ok=True)
                server_port = free_port() if options.round_trip_ms else port
                server = Server(script, server_port, root, os.path.join(work, key + ".log"))
                if not server.started:
                    print("%s did not start on port %d: %s" % (label, server_port, server.first_line))
                    return 2
                relay = Relay(port, server_port, options.round_trip_ms) if options.round_trip_ms else None
                if relay and not relay.started:
                    server.stop()
                    print("the relay did not start on port %d" % port)
                    return 2
                if relay:
                    label += " through %g ms of round trip" % options.round_trip_ms
                try:
                    for settle, state in ((True, "settled"), (False, "back to back")):
                        load = os.getloadavg()[0]
                        wall, cpu = series(port, commands, work, options.rounds, settle)
                        report("%s, 5 x %d MB, %s, medians of %d interleaved rounds (load %.1f-%.1f):" % (
                            label, size, state, options.rounds, load, os.getloadavg()[0]),
                            wall, cpu, TARGETS.get(size, 1.05))
                    if size == 1:
                        command_counts(server, commands, work)
                finally:
                    if relay:
                        relay.stop()
                    server.stop()
                for name, _ in FILES:
                    got = os.path.getsize(os.path.join(root, ISTAT + dict(FILES)[name]))
                    if got != size << 20:
                        print("%s holds %d bytes of %s" % (label, got, name))
                        return 1
                shutil.rmtree(root)
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/python3
"""Makes the test certificates in OUTDIR with the openssl tool, fresh for each test run, and
prints "ready" (or the openssl tool's complaint) when done:
  ca.pem                          the test CA the program is told to trust
  server.pem / server.key         127.0.0.1 and localhost, signed by that CA
  othername.pem / othername.key   "altro.invalid" only, signed by that CA
  unknown.pem / unknown.key       127.0.0.1 and localhost, signed by a CA nobody trusts
"""
import os
import subprocess
import sys


def openssl(*arguments):
    subprocess.run(["openssl", *arguments], check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.PIPE)


def make_ca(out, name):
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
            "-subj", "/CN=Morvantil test CA " + name, "-keyout", f"{out}/{name}-ca.key",
            "-out", f"{out}/{name}-ca.pem")


def make_server(out, name, ca, alt_names):
    key, request, cert = f"{out}/{name}.key", f"{out}/{name}.csr", f"{out}/{name}.pem"
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=" + alt_names[0].split(":")[1],
            "-keyout", key, "-out", request)
    with open(f"{out}/{name}.ext", "w") as ext:
        ext.write("subjectAltName=" + ",".join(alt_names) + "\n")
    openssl("x509", "-req", "-in", request, "-CA", f"{out}/{ca}-ca.pem", "-CAkey",
            f"{out}/{ca}-ca.key", "-CAcreateserial", "-days", "2", "-extfile",
            f"{out}/{name}.ext", "-out", cert)


def main():
    out = sys.argv[1]
    try:
        make_all(out)
    except subprocess.CalledProcessError as error:
        print("failed: " + error.stderr.decode(errors="replace").replace("\n", " "), flush=True)


def make_all(out):
    os.makedirs(out, exist_ok=True)
    make_ca(out, "test")
    make_ca(out, "rogue")
    make_server(out, "server", "test", ["IP:127.0.0.1", "DNS:localhost"])
    make_server(out, "othername", "test", ["DNS:altro.invalid"])
    make_server(out, "unknown", "rogue", ["IP:127.0.0.1", "DNS:localhost"])
    os.replace(f"{out}/test-ca.pem", f"{out}/ca.pem")
    print("ready", flush=True)


if __name__ == "__main__":
    main()

#!/usr/bin/python3
"""Makes the certificates of the TLS tests with the openssl command line.

Usage: tls_certificates.py DIR
Writes ca.pem (the authority the tests trust) and, signed by it, NAME.pem and NAME.key for each
of SERVERS, and stranger.pem and .key for 127.0.0.1, signed by itself. Exits non-zero on failure.
"""
import os
import subprocess
import sys

CONFIG = """[ca]
default_ca = test_ca
[test_ca]
dir = {dir}
database = {dir}/index.txt
new_certs_dir = {dir}
serial = {dir}/serial
default_md = sha256
policy = any
copy_extensions = copy
unique_subject = no
[any]
commonName = supplied
"""

SERVERS = {
    "good": ("/CN=127.0.0.1", "IP:127.0.0.1,DNS:localhost", None),
    "wronghost": ("/CN=other.invalid", "DNS:other.invalid", None),
    "expired": ("/CN=127.0.0.1", "IP:127.0.0.1,DNS:localhost", ("20200101000000Z", "20201231000000Z")),
}


def openssl(*args):
    subprocess.run(["openssl", *args], check=True, capture_output=True)


out = sys.argv[1]
os.makedirs(out, exist_ok=True)
with open(os.path.join(out, "ca.cnf"), "w") as config:
    config.write(CONFIG.format(dir=out))
open(os.path.join(out, "index.txt"), "w").close()
with open(os.path.join(out, "serial"), "w") as serial:
    serial.write("1000\n")
openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "30", "-subj", "/CN=Quillharbor Test CA",
        "-keyout", f"{out}/ca.key", "-out", f"{out}/ca.pem")
for name, (subject, names, dates) in SERVERS.items():
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-subj", subject, "-addext", f"subjectAltName={names}",
            "-keyout", f"{out}/{name}.key", "-out", f"{out}/{name}.csr")
    validity = ["-startdate", dates[0], "-enddate", dates[1]] if dates else ["-days", "30"]
    openssl("ca", "-batch", "-config", f"{out}/ca.cnf", "-cert", f"{out}/ca.pem", "-keyfile", f"{out}/ca.key",
            "-in", f"{out}/{name}.csr", "-out", f"{out}/{name}.pem", "-notext", *validity)
openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "30", "-subj", "/CN=127.0.0.1",
        "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", f"{out}/stranger.key", "-out", f"{out}/stranger.pem")


#!/usr/bin/python3
"""Starts a private nginx for the integration tests, in the foreground.

Usage: http_nginx.py PORT WORKDIR ROOT [--tls TLSPORT CERT KEY]
Serves ROOT on 127.0.0.1:PORT as one process, its files in WORKDIR; with --tls over TLS on
TLSPORT too, where /secure/NAME redirects to. /loop.html redirects to itself. WORKDIR/access.log
gives per request its line, Range, status, body bytes, user agent, connection and requests on it.
"""
import argparse
import os

from loopback_server import run_configured


parser = argparse.ArgumentParser()
parser.add_argument("port")
parser.add_argument("workdir")
parser.add_argument("root")
parser.add_argument("--tls", nargs=3, metavar=("TLSPORT", "CERT", "KEY"))
args = parser.parse_args()
workdir, address = args.workdir, "127.0.0.1"
tls = ""
if args.tls:
    tls_port, cert, key = args.tls
    tls = f"""
    listen {address}:{tls_port} ssl;
    ssl_certificate {cert};
    ssl_certificate_key {key};
    ssl_protocols TLSv1.2 TLSv1.3;
    location ~ ^/secure/(.*)$ {{ return 301 https://{address}:{tls_port}/$1; }}"""
run_configured(workdir, "nginx.conf", f"""daemon off;
master_process off;
pid {workdir}/nginx.pid;
error_log {workdir}/error.log;
events {{ worker_connections 64; }}
http {{
log_format ranges '$request "$http_range" $status $body_bytes_sent "$http_user_agent" '
                  '$connection $connection_requests';
access_log {workdir}/access.log ranges;
client_body_temp_path {workdir}/client_body;
proxy_temp_path {workdir}/proxy;
fastcgi_temp_path {workdir}/fastcgi;
uwsgi_temp_path {workdir}/uwsgi;
scgi_temp_path {workdir}/scgi;
types {{ text/html html; text/css css; application/javascript js; image/png png;
        image/svg+xml svg; application/octet-stream bin; }}
server {{
    listen {address}:{args.port};{tls}
    root {args.root};
    location = /loop.html {{ return 302 /loop.html; }}
}}
}}
""", ["nginx", "-p", workdir, "-e", os.path.join(workdir, "error.log"), "-c", "CONFIG"])


#!/usr/bin/env python3
"""Starts the upload targets on 127.0.0.1 and runs the Windows client tests against them.

Usage: run_http_tests.py PROGRAM.exe [gtest arguments...]
"""
import os
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import servers  # noqa: E402
from hostile_server import HostileServer  # noqa: E402


def main():
    program = sys.argv[1]
    with tempfile.TemporaryDirectory(prefix="fotoloft-http-") as work:
        cert, key = servers.make_certificate(work)
        with servers.RecordingServer(os.path.join(work, "plain")) as plain, \
                servers.RecordingServer(os.path.join(work, "tls"), cert, key) as tls, \
                servers.PeerServer(os.path.join(work, "php.log")) as peer, \
                HostileServer(plain.url("/record")) as hostile:
            env = dict(os.environ)
            env["FOTOLOFT_HTTP"] = "http://127.0.0.1:%d" % plain.port
            env["FOTOLOFT_RECORD_DIR"] = servers.winepath(plain.folder)
            env["FOTOLOFT_HTTPS"] = "https://127.0.0.1:%d" % tls.port
            env["FOTOLOFT_HTTPS_PORT"] = str(tls.port)
            env["FOTOLOFT_TLS_RECORD_DIR"] = servers.winepath(tls.folder)
            env["FOTOLOFT_HOSTILE"] = "http://127.0.0.1:%d" % hostile.port
            env["FOTOLOFT_PEER"] = "http://127.0.0.1:%d" % peer.port
            env["FOTOLOFT_REFUSED"] = "http://127.0.0.1:%d" % servers.free_port()
            rc, output = servers.run_wine([program, "--gtest_color=no"] + sys.argv[2:],
                                          os.path.join(work, "out.txt"), env=env)
            sys.stdout.write(output)
            if rc != 0:
                with open(os.path.join(work, "php.log"), "rb") as f:
                    sys.stdout.write("--- php -S log ---\n" + f.read().decode("utf-8", "replace")[-3000:])
            return rc


if __name__ == "__main__":
    sys.exit(main())

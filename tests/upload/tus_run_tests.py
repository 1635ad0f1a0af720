#!/usr/bin/env python3
"""Starts the tus server on 127.0.0.1 with proxies in front of it (one that cuts the link once,
one that holds it to a slow rate) and runs the Windows tests against them.

Usage: tus_run_tests.py PROGRAM.exe [gtest arguments...]
"""
import os
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import servers  # noqa: E402
from tus_servers import CuttingProxy, TusServer  # noqa: E402


def main():
    program = sys.argv[1]
    with tempfile.TemporaryDirectory(prefix="fotoloft-tus-") as work:
        with TusServer(os.path.join(work, "tus")) as server, \
                CuttingProxy(server.port) as cut, \
                CuttingProxy(server.port) as cut_then_wait, \
                CuttingProxy(server.port, rate=1500000) as slow:
            cut.arm([1.0], 1500000)
            cut_then_wait.arm([1.0], 1500000)
            env = dict(os.environ)
            env["FOTOLOFT_TUS"] = "http://127.0.0.1:%d" % server.port
            env["FOTOLOFT_TUS_CUT"] = "http://127.0.0.1:%d" % cut.port
            env["FOTOLOFT_TUS_CUT_WAIT"] = "http://127.0.0.1:%d" % cut_then_wait.port
            env["FOTOLOFT_TUS_SLOW"] = "http://127.0.0.1:%d" % slow.port
            env["FOTOLOFT_TUS_STORE"] = servers.winepath(server.store)
            rc, output = servers.run_wine([program, "--gtest_color=no"] + sys.argv[2:],
                                          os.path.join(work, "out.txt"), env=env)
            sys.stdout.write(output)
            if rc != 0:
                sys.stdout.write("--- tus server log ---\n" + server.read_log()[-3000:])
            return rc


if __name__ == "__main__":
    sys.exit(main())

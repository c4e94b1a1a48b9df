#!/usr/bin/env python3
"""airmeter-cli as a user runs it: help, bad options, runs that end early, the README's examples.

usage: cli_test.py AIRMETER_CLI SOURCE_DIR
"""
import ipaddress
import json
import re
import shlex
import socket
import subprocess
import sys
import time
import unittest

CLI = ""
SOURCE_DIR = ""
LOOPBACK_ONLY = {"127.0.0.1", "127.255.255.255"}


def free_port(kind):
    with socket.socket(socket.AF_INET, kind) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def run(args, timeout=60):
    return subprocess.run([CLI, *args], capture_output=True, text=True, timeout=timeout)


def start(args):
    return subprocess.Popen([CLI, *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)


def summary(stdout):
    return json.loads(stdout.strip().splitlines()[-1])


class Arguments(unittest.TestCase):
    def test_help_prints_the_usage_and_succeeds(self):
        for flag in ("--help", "-h"):
            result = run([flag])
            self.assertEqual(result.returncode, 0, flag)
            self.assertTrue(result.stdout.startswith("usage: airmeter-cli"), result.stdout)
            self.assertIn("255.255.255.255", result.stdout)
            self.assertEqual(result.stderr, "")

    def test_an_unknown_option_is_named_and_fails(self):
        for args in (["--bogus"], ["tx", "--bogus"], ["rx", "--port", "1500", "--bogus"]):
            result = run(args)
            self.assertEqual(result.returncode, 2, args)
            self.assertIn("unknown option --bogus", result.stderr)
            self.assertEqual(result.stdout, "")


class EarlyEnd(unittest.TestCase):
    def test_a_receiver_whose_peer_closes_says_so_and_fails(self):
        port = str(free_port(socket.SOCK_STREAM))
        rx = start(["rx", "--mode", "stream", "--port", port, "--duration", "60", "--quiet"])
        time.sleep(0.5)
        tx = run(["tx", "--mode", "stream", "--port", port, "--duration", "1", "--quiet"])
        out, err = rx.communicate(timeout=30)
        self.assertEqual(tx.returncode, 0, tx.stderr)
        self.assertEqual(rx.returncode, 1)
        self.assertIn("the run ended early: the peer closed the connection", err)
        self.assertEqual(summary(out)["ended"], "the peer closed the connection")
        self.assertEqual(summary(out)["bytes"], summary(tx.stdout)["bytes"])

    def test_a_transmitter_whose_peer_goes_away_says_so_and_fails(self):
        port = str(free_port(socket.SOCK_STREAM))
        rx = start(["rx", "--mode", "stream", "--port", port, "--duration", "1", "--quiet"])
        time.sleep(0.5)
        tx = run(["tx", "--mode", "stream", "--port", port, "--duration", "60", "--quiet"])
        rx.communicate(timeout=30)
        self.assertEqual(tx.returncode, 1)
        self.assertIn("the run ended early: the peer closed the connection", tx.stderr)
        self.assertLess(summary(tx.stdout)["elapsed_ms"], 30000)

    def test_a_refused_connection_says_so_and_fails(self):
        port = str(free_port(socket.SOCK_STREAM))
        tx = run(["tx", "--mode", "stream", "--port", port, "--duration", "30", "--quiet"])
        self.assertEqual(tx.returncode, 1)
        self.assertIn("the run ended early: Connect error = 10061", tx.stderr)


class Readme(unittest.TestCase):
    """The README's examples, run from the project root with this build's binary and a free port."""

    PREFIX = "build/bin/airmeter-cli"

    def examples(self):
        with open(SOURCE_DIR + "/README.md") as f:
            lines = [line.strip() for line in f if line.strip().startswith(self.PREFIX)]
        self.assertTrue(lines, "the README shows no airmeter-cli example")
        return lines

    def test_examples_keep_their_traffic_on_this_host(self):
        for line in self.examples():
            for address in re.findall(r"\b\d+\.\d+\.\d+\.\d+\b", line):
                ipaddress.IPv4Address(address)
                self.assertIn(address, LOOPBACK_ONLY, line)
            args = shlex.split(line.rstrip("&"))[1:]
            if args and args[0] == "tx":
                mode = args[args.index("--mode") + 1] if "--mode" in args else "broadcast"
                if mode == "broadcast":
                    self.assertIn("--broadcast-address", args, line)

    def test_examples_run_as_written(self):
        pending = []  # receivers started in the background, with their example
        ports = {}
        for line in self.examples():
            background = line.endswith("&")
            args = shlex.split(line.rstrip("&"))[1:]
            if "--port" in args:
                at = args.index("--port") + 1
                args[at] = ports.setdefault(args[at], str(free_port(socket.SOCK_DGRAM)))
            if background:
                pending.append((line, start(args)))
                time.sleep(0.5)
                continue
            result = run(args)
            self.assertEqual(result.returncode, 0, line + "\n" + result.stderr)
            for rx_line, rx in pending:
                out, err = rx.communicate(timeout=30)
                self.assertEqual(rx.returncode, 0, rx_line + "\n" + err)
                self.assertGreater(summary(out)["packets"], 0, rx_line)
            pending = []
        self.assertEqual(pending, [], "a receiver example without its transmitter")


if __name__ == "__main__":
    CLI, SOURCE_DIR = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=2)

#!/usr/bin/env python3
"""airmeter-cli as a user runs it: help, bad options, runs that end early, the README's examples.

usage: cli_test.py AIRMETER_CLI SOURCE_DIR
"""
import ipaddress
import json
import os
import re
import shlex
import signal
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


def bound_ports(kind):
    """The local ports of this host's IPv4 sockets of `kind` that are bound: UDP sockets with a
    port, TCP sockets listening."""
    table, listening = ("/proc/net/udp", None) if kind == socket.SOCK_DGRAM else ("/proc/net/tcp", "0A")
    ports = set()
    with open(table) as f:
        for line in f.readlines()[1:]:
            fields = line.split()
            if listening is None or fields[3] == listening:
                ports.add(int(fields[1].split(":")[1], 16))
    return ports


def start_receiver(args, timeout=30):
    """Starts a receiver and returns once its port is bound (a receiver that ends first, or one
    that does not bind within `timeout` seconds, fails the test)."""
    port = int(args[args.index("--port") + 1])
    mode = args[args.index("--mode") + 1] if "--mode" in args else "broadcast"
    kind = socket.SOCK_STREAM if mode == "stream" else socket.SOCK_DGRAM
    rx = start(args)
    deadline = time.monotonic() + timeout
    while port not in bound_ports(kind):
        if rx.poll() is not None or time.monotonic() > deadline:
            rx.kill()
            out, err = rx.communicate()
            raise AssertionError("the receiver did not bind port %d: %s%s" % (port, out, err))
        time.sleep(0.01)
    return rx


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
    def test_a_stream_receiver_whose_transmitter_finishes_succeeds(self):
        port = str(free_port(socket.SOCK_STREAM))
        rx = start_receiver(["rx", "--mode", "stream", "--port", port, "--duration", "60", "--quiet"])
        tx = run(["tx", "--mode", "stream", "--port", port, "--duration", "1", "--quiet"])
        out, err = rx.communicate(timeout=30)
        self.assertEqual(tx.returncode, 0, tx.stderr)
        self.assertEqual(rx.returncode, 0, err)
        self.assertEqual(err, "")
        self.assertNotIn("ended", summary(out))
        self.assertGreater(summary(out)["bytes"], 0)
        self.assertEqual(summary(out)["bytes"], summary(tx.stdout)["bytes"])

    def test_a_transmitter_whose_peer_goes_away_says_so_and_fails(self):
        port = str(free_port(socket.SOCK_STREAM))
        rx = start_receiver(["rx", "--mode", "stream", "--port", port, "--duration", "1", "--quiet"])
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


def context_switches(pid):
    """The context switches of every thread of a process so far."""
    total = 0
    for task in os.listdir("/proc/%d/task" % pid):
        with open("/proc/%d/task/%s/status" % (pid, task)) as f:
            for line in f:
                if line.startswith(("voluntary_ctxt_switches", "nonvoluntary_ctxt_switches")):
                    total += int(line.split()[1])
    return total


class Idle(unittest.TestCase):
    def test_a_quiet_receiver_with_nothing_arriving_sleeps(self):
        for mode, kind in (("directed", socket.SOCK_DGRAM), ("stream", socket.SOCK_STREAM)):
            with self.subTest(mode=mode):
                port = str(free_port(kind))
                rx = start_receiver(["rx", "--mode", mode, "--port", port, "--duration", "0", "--quiet"])
                try:
                    # Once its start-up has settled, a sleeping process switches no more.
                    deadline = time.monotonic() + 30
                    before = context_switches(rx.pid)
                    while True:
                        time.sleep(0.3)
                        now = context_switches(rx.pid)
                        settled, before = now == before, now
                        if settled or time.monotonic() > deadline:
                            break
                    time.sleep(2.5)  # a process that wakes once a second would show it twice
                    self.assertEqual(context_switches(rx.pid), before, "the idle receiver woke up")
                finally:
                    rx.send_signal(signal.SIGINT)
                    out, err = rx.communicate(timeout=30)
                self.assertEqual(rx.returncode, 0, err)
                self.assertEqual(summary(out)["packets"], 0)


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
                pending.append((line, start_receiver(args)))
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

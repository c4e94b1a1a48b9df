#!/usr/bin/env python3
"""The benchmarks' results file and the table `make bench` ends with.

usage: bench_results_test.py BENCH_SOURCE_DIR
"""
import os
import subprocess
import sys
import tempfile
import unittest

BENCH = ""


class Table(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.path = os.path.join(self.folder.name, "results.jsonl")

    def tearDown(self):
        self.folder.cleanup()

    def append(self, *args):
        code = "import sys; sys.path.insert(0, %r); import bench_results; bench_results.append(*%r)" % (BENCH, args)
        subprocess.run([sys.executable, "-c", code], check=True, env=dict(os.environ, ORU_BENCH_RESULTS=self.path))

    def table(self):
        return subprocess.run([sys.executable, os.path.join(BENCH, "bench_results.py"), self.path],
                              capture_output=True, text=True)

    def test_every_figure_with_its_peer_ratio_and_goal_and_the_goals_met(self):
        self.append("firmware", "flash 200 KB", 4.0, "ms", "write and fsync 200 KB once", 2.0, "within 3x the peer", True)
        self.append("mfgtest", "whole test", 6.5, "s", None, None, "under 5 s", False)
        self.append("console", "refresh tick", 43.5, "us")
        done = self.table()
        self.assertEqual(done.returncode, 0, done.stderr)
        rows = {line.split()[0]: line for line in done.stdout.splitlines() if line.split()[:1]}
        self.assertRegex(rows["firmware"], r"flash 200 KB\s+4 ms\s+write and fsync 200 KB once\s+2 ms\s+2\.00 x\s+"
                                           r"within 3x the peer\s+yes$")
        self.assertRegex(rows["mfgtest"], r"whole test\s+6\.5 s\s+under 5 s\s+NO$")
        self.assertRegex(rows["console"], r"refresh tick\s+43\.5 us$")
        self.assertIn("Goals met: 1 of 2", done.stdout)
        self.assertIn("not met: mfgtest: whole test (under 5 s)", done.stdout)

    def test_a_line_that_is_no_figure_is_named_and_fails_the_table(self):
        self.append("console", "refresh tick", 43.5, "us")
        with open(self.path, "a") as f:
            f.write('{"area": "x"}\nnot json\n')
        done = self.table()
        self.assertEqual(done.returncode, 1)
        self.assertIn("refresh tick", done.stdout)
        self.assertIn("line 2 lacks figure, value, unit, peer, peer_value, goal, met", done.stderr)
        self.assertIn("line 3 is not JSON", done.stderr)

    def test_no_file_or_no_figure_is_said(self):
        done = self.table()
        self.assertEqual(done.returncode, 1)
        self.assertIn("cannot read", done.stderr)
        open(self.path, "w").close()
        done = self.table()
        self.assertEqual(done.returncode, 1)
        self.assertIn("No benchmark reported a figure.", done.stdout)


if __name__ == "__main__":
    BENCH = sys.argv[1]
    unittest.main(argv=sys.argv[:1], verbosity=2)

"""The remote host: farlinkd with its own registry, bench and keys, on 127.0.0.1. The test process
is the client, with a registry of its own (the provider's class only, no bench) and the host's
client credential."""
import os
import pathlib
import shutil
import signal
import subprocess
import time

import pytest

BUILD = pathlib.Path(os.environ["ORU_BINARY_DIR"])
SOURCE = pathlib.Path(os.environ["ORU_SOURCE_DIR"])
SCRATCH = pathlib.Path(os.environ["ORU_REGISTRY"]).parent
HOST = SCRATCH / "host"
CLIENT = SCRATCH / "client"


def tool(name):
    return str(BUILD / "bin" / name)


def lib(name):
    return str(BUILD / "lib" / name)


def host_env(config):
    env = dict(os.environ, ORU_REGISTRY=str(HOST / "registry.reg"), ORU_BENCH_STATE=str(HOST / "bench-state"))
    env.pop("LD_PRELOAD", None)  # farlinkd carries its own sanitizer runtime
    env["FARLINK_CONFIG_DIR"] = str(config)
    return env


def _set_up():
    shutil.rmtree(SCRATCH, ignore_errors=True)
    HOST.mkdir(parents=True)
    (CLIENT / "farlink").mkdir(parents=True)
    env = host_env(HOST / "keys")
    quiet = dict(check=True, stdout=subprocess.DEVNULL, env=env)
    subprocess.run([tool("oru-regsvr"), lib("liboruDirEzo.so")], **quiet)
    subprocess.run([tool("oru-regsvr"), lib("libfarlink_provider.so")], **quiet)
    subprocess.run([tool("vireo-bench"), "install", str(SOURCE / "sim" / "benches" / "default.json")], **quiet)
    subprocess.run([tool("farlinkd"), "--init"], **quiet)
    shutil.copy(HOST / "keys" / "client.pem", CLIENT / "farlink" / "client.pem")
    # A credential of another host: valid in form, trusted by nobody here.
    subprocess.run([tool("farlinkd"), "--init", "--config", str(SCRATCH / "stranger")], **quiet)
    os.environ["ORU_REGISTRY"] = str(CLIENT / "registry.reg")
    os.environ["XDG_CONFIG_HOME"] = str(CLIENT)
    os.environ.pop("FARLINK_CONFIG_DIR", None)
    # The client knows the classes (their ProgIDs), not the adapters: it has no bench.
    for library in ("libfarlink_provider.so", "liboruDirEzo.so"):
        subprocess.run([tool("oru-regsvr"), lib(library)], check=True, stdout=subprocess.DEVNULL)


_set_up()

import oleaut  # noqa: E402


class Exporter:
    """One farlinkd process on 127.0.0.1 and a free port; its log is kept."""

    def __init__(self, *options, env=None):
        self.log_path = SCRATCH / f"farlinkd-{time.monotonic_ns()}.log"
        self.log_file = open(self.log_path, "w")
        self.process = subprocess.Popen([tool("farlinkd"), "--listen", "127.0.0.1", "--port", "0", *options],
                                        env=dict(host_env(HOST / "keys"), **(env or {})), stderr=self.log_file,
                                        stdout=subprocess.DEVNULL)
        self.port = None
        deadline = time.monotonic() + 10
        while self.port is None and time.monotonic() < deadline:
            for line in self.log_path.read_text().splitlines():
                if "listening on 127.0.0.1:" in line:
                    self.port = int(line.rsplit(":", 1)[1])
            time.sleep(0.02)
        assert self.port, self.log()
        self.address = f"127.0.0.1:{self.port}"

    def log(self):
        return self.log_path.read_text()

    def wait_for_log(self, text, seconds=5):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if text in self.log():
                return True
            time.sleep(0.05)
        return False

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.log_file.close()
        return self.process.returncode


@pytest.fixture(scope="session")
def exporter():
    e = Exporter()
    yield e
    assert e.stop() == 0, e.log()


@pytest.fixture
def own_exporter():
    """An exporter of the test's own, for tests that kill it."""
    e = Exporter()
    yield e
    e.stop()


@pytest.fixture
def exporter_with():
    """Starts exporters of the test's own with options (farlinkd's command line); stops them after."""
    started = []

    def start(*options, env=None):
        started.append(Exporter(*options, env=env))
        return started[-1]

    yield start
    for e in started:
        e.stop()


def rss_kib(pid):
    """A process's resident memory, in KiB."""
    for line in open(f"/proc/{pid}/status"):
        if line.startswith("VmRSS:"):
            return int(line.split()[1])
    raise AssertionError("no VmRSS")


def farlinkd(*args):
    """farlinkd's credential commands on the host's keys; their standard output."""
    return subprocess.run([tool("farlinkd"), *args], env=host_env(HOST / "keys"), check=True,
                          stdout=subprocess.PIPE, text=True).stdout


@pytest.fixture
def station_image(tmp_path):
    image = tmp_path / "STA7_1.HEX"
    subprocess.run([tool("oru-fwimage"), "-o", str(image), "--station", "7:1:3:2", "--code-bytes", "200000"],
                   check=True, stdout=subprocess.DEVNULL)
    return image

"""Registers the component and installs the default simulated bench in the scratch registry and
bench state before any test runs."""
import os
import pathlib
import shutil
import subprocess

import pytest

BUILD = pathlib.Path(os.environ["ORU_BINARY_DIR"])
SOURCE = pathlib.Path(os.environ["ORU_SOURCE_DIR"])


def tool(name):
    return str(BUILD / "bin" / name)


def _set_up_bench():
    hive = pathlib.Path(os.environ["ORU_REGISTRY"])
    hive.parent.mkdir(parents=True, exist_ok=True)
    hive.unlink(missing_ok=True)
    shutil.rmtree(os.environ["ORU_BENCH_STATE"], ignore_errors=True)
    subprocess.run([tool("oru-regsvr"), str(BUILD / "lib" / "liboruDirEzo.so")], check=True, stdout=subprocess.DEVNULL)
    subprocess.run([tool("vireo-bench"), "install", str(SOURCE / "sim" / "benches" / "default.json")],
                   check=True, stdout=subprocess.DEVNULL)


_set_up_bench()

import oleaut  # noqa: E402


def require(obj, *members):
    """Fails the test when the component's object lacks members it uses."""
    missing = [m for m in members if m not in dir(obj)]
    if missing:
        pytest.fail(f"{repr(obj).split()[1]} does not offer {', '.join(missing)}")


@pytest.fixture
def adapters():
    return oleaut.Dispatch("OruDirEzo.Adapters")


@pytest.fixture
def vireo(adapters):
    adapter = next(a for a in adapters if a.IsVela)
    assert adapter.Open() == 1
    yield adapter.Vireo
    adapter.Close()


@pytest.fixture(scope="session")
def station_image(tmp_path_factory):
    if not (BUILD / "bin" / "oru-fwimage").exists():
        pytest.fail(f"oru-fwimage is not built in {BUILD / 'bin'}")
    image = tmp_path_factory.mktemp("images") / "STA7_1.HEX"
    subprocess.run([tool("oru-fwimage"), "-o", str(image), "--station", "7:1:3:2", "--code-bytes", "10000"],
                   check=True)
    return image

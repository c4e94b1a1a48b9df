"""The example scripts run to the end on the default simulated bench."""
import json
import os
import pathlib
import subprocess
import sys

import pytest

SOURCE = pathlib.Path(os.environ["ORU_SOURCE_DIR"])
EXAMPLES = SOURCE / "examples"


@pytest.fixture
def vireo_members():
    """Fails an example's test when the component lacks members the example uses."""
    sys.path.insert(0, str(EXAMPLES))
    import bench_common
    sys.path.remove(str(EXAMPLES))

    with bench_common.opened_adapter() as (_, vireo):
        missing = bench_common.missing_members(vireo)

    def check(example):
        if missing[example]:
            pytest.fail(f"the component does not offer {', '.join(missing[example])}")

    return check


def run(script, *args):
    done = subprocess.run([sys.executable, str(EXAMPLES / script), *args], capture_output=True, text=True)
    assert done.returncode == 0, done.stderr + done.stdout
    return done.stdout


def test_list_adapters():
    out = run("list_adapters.py")
    assert out.startswith("4 network adapter(s)")
    assert sum(line.split()[1] == "yes" for line in out.splitlines()[2:]) == 3


@pytest.mark.parametrize("key, baseband", [("0001", "Alder (3)"), ("0002", "Birch B (19)"), ("0003", "Cedar (48)")])
def test_radio_test_shows_the_adapters_identity_and_tunes_it(vireo_members, key, baseband):
    vireo_members("radio")
    bench = json.loads((SOURCE / "sim" / "benches" / "default.json").read_text())
    adapter = next(a for a in bench["adapters"] if a["key"] == key)
    out = run("radio_test.py", "--adapter", key, "--channel", "6", "--seconds", "0")
    assert f"MAC address   {adapter['mac'].replace(':', '-')}" in out
    assert f"Serial number {adapter['serial']}\n" in out
    assert f"Baseband      {baseband}" in out
    assert "Channel       6" in out and "Stopped." in out


def test_edit_pda_leaves_the_area_as_it_was(vireo_members):
    vireo_members("pda")
    out = run("edit_pda.py")
    assert "it reads back as written" in out
    assert "the area is as it was" in out


def test_flash_firmware_leaves_the_adapter_running_the_image(vireo_members, station_image):
    vireo_members("firmware")
    out = run("flash_firmware.py", "--adapter", "0003", str(station_image))
    assert "] 3 blocks, 10000 bytes" in out
    assert "the adapter runs build 7." in out  # the image's build sequence


def test_demo_runs_to_the_end():
    out = run("demo.py")
    assert out.rstrip().endswith("Done.")
    assert "4 network adapter(s)" in out
    assert "skipped" not in out, out  # the demo leaves out what the component does not offer


@pytest.mark.parametrize("script, args, message", [
    ("radio_test.py", ["--adapter", "nokey"], "IAdapters : Key nokey not found"),
    ("flash_firmware.py", ["/nonexistent/image.hex"], "could not be loaded"),
])
def test_examples_report_failures_clearly(script, args, message, vireo_members):
    if script == "flash_firmware.py":
        vireo_members("firmware")
    done = subprocess.run([sys.executable, str(EXAMPLES / script), *args], capture_output=True, text=True)
    assert done.returncode != 0
    assert message in done.stderr

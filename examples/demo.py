#!/usr/bin/python3
"""A tour of the component's object model on the simulated bench: lists the adapters, runs a
radio test, edits the production data area and downloads a firmware image, each through the
example script that does it on its own."""
import argparse
import pathlib
import subprocess
import tempfile

import bench_common
import edit_pda
import flash_firmware
import list_adapters
import radio_test


def make_station_image(folder):
    """A station firmware image written by the build's oru-fwimage, or None without the tool."""
    tool = bench_common.build_tool("oru-fwimage")
    if tool is None:
        return None
    image = folder / "STA2_1.HEX"
    done = subprocess.run([str(tool), "-o", str(image), "--station", "2:1:3:2", "--code-bytes", "20000"])
    if done.returncode != 0:
        raise bench_common.ExampleError(f"oru-fwimage could not write {image}")
    return image


def step(title):
    print(f"\n== {title}")


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__)
    bench_common.add_adapter_option(parser)
    parser.add_argument("--image", help="S-record image to download (default: one made by oru-fwimage)")
    args = parser.parse_args(argv)
    which = ["--adapter", args.adapter] if args.adapter else []

    step("Adapters")
    list_adapters.main([])
    with bench_common.opened_adapter(args.adapter) as (_, vireo):
        missing = bench_common.missing_members(vireo)

    def runnable(example):
        if missing[example]:
            print(f"  skipped: the component does not offer {', '.join(missing[example])} yet")
        return not missing[example]

    step("Radio test: channel 6, continuous transmit")
    if runnable("radio"):
        radio_test.main(which + ["--channel", "6"])
    step("Production data area")
    if runnable("pda"):
        edit_pda.main(which)
    step("Firmware download")
    if runnable("firmware"):
        with tempfile.TemporaryDirectory() as folder:
            image = args.image or make_station_image(pathlib.Path(folder))
            if image is None:
                print("  skipped: no image given and oru-fwimage is not built")
            else:
                flash_firmware.main(which + [str(image)])
    print("\nDone.")
    return 0


if __name__ == "__main__":
    bench_common.run(main, "demo")

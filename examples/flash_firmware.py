#!/usr/bin/python3
"""Loads a station firmware image (S-record file), derives the calibration records, plugs the
image with the adapter's production data and downloads it, with a progress bar fed by the
Firmware object's FlashProgress events."""
import argparse
import sys

import bench_common
from bench_common import oleaut


class ProgressBar:
    """An event sink: FlashProgress is called once per block written and verified."""

    def __init__(self, total_blocks, out=sys.stdout, width=32):
        self.total = max(total_blocks, 1)
        self.out = out
        self.width = width
        self.blocks = []

    def FlashProgress(self, blockcount, blocklength, blockAddress):
        self.blocks.append((blockcount, blocklength, blockAddress))
        done = min(blockcount, self.total)
        filled = self.width * done // self.total
        self.out.write(f"\r  [{'#' * filled}{'.' * (self.width - filled)}] block {blockcount:3} "
                       f"at 0x{blockAddress:06X}, {blocklength:4} bytes")
        self.out.flush()

    def finish(self):
        self.out.write(f"\r  [{'#' * self.width}] {len(self.blocks)} blocks, "
                       f"{sum(b[1] for b in self.blocks)} bytes{' ' * 16}\n")


def flash(vireo, image):
    """Runs the whole download; returns the progress bar (its blocks as reported)."""
    firmware = vireo.Firmware
    if firmware.LoadHEXFile(str(image)) != 1:
        raise bench_common.ExampleError(f"{image} could not be loaded (see the reader's messages above)")
    print(f"  Loaded {image}: {firmware.HexLinesRead} lines, {firmware.HexPlugs} plug records")
    if firmware.MakeCalPdrs() == 1:
        print("  Calibration records 0300 and 0301 derived from the production data")
    else:
        print("  No calibration records: the production data lacks the manufacturing records")
    firmware.PlugImage()
    print(f"  Plugged {firmware.HexRecordsPlugged} production data records into the image")

    bar = ProgressBar(firmware.TotalImageBlocks)
    cookie = oleaut.advise(firmware, bar)
    try:
        result = firmware.FlashImage()
    finally:
        oleaut.unadvise(firmware, cookie)
        bar.finish()
    if result != 1:
        raise bench_common.ExampleError("the download did not complete")
    return bar


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("image", help="S-record firmware image")
    bench_common.add_adapter_option(parser)
    args = parser.parse_args(argv)
    with bench_common.opened_adapter(args.adapter) as (adapter, vireo):
        print(f"Adapter {adapter.Enumerator}: {adapter.Description}")
        flash(vireo, args.image)
        build = vireo.RIDs.Item("FFFE").GetAsInteger(1)
        print(f"  Downloaded; after the card reset the adapter runs build {build}.")
    return 0


if __name__ == "__main__":
    bench_common.run(main, "flash_firmware")

#!/usr/bin/python3
"""Opens a Vireo adapter, shows its MAC address, serial number and baseband, tunes it to a
channel, transmits continuously for a moment, stops, and shows the tallies."""
import argparse
import time

import bench_common
from bench_common import check, oleaut

SHOWN_TALLIES = ["txUnicast", "txFrags", "txUniOctets", "rxUnicast", "rxFrags", "rxFCSErrors", "crcError"]


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__)
    bench_common.add_adapter_option(parser)
    parser.add_argument("--channel", type=int, default=6, help="channel 1 to 14 (default 6)")
    parser.add_argument("--pattern", type=lambda s: int(s, 0), default=0xAAAA,
                        help="16-bit transmit data pattern (default 0xAAAA)")
    parser.add_argument("--seconds", type=float, default=0.5, help="how long to transmit (default 0.5)")
    args = parser.parse_args(argv)

    with bench_common.opened_adapter(args.adapter) as (adapter, vireo):
        rids = vireo.RIDs
        print(f"Adapter {adapter.Enumerator}: {adapter.Description}")
        print(f"  MAC address   {bench_common.mac_text(rids.Item('FC01').RidAsByteArray)}")
        print(f"  Serial number {bench_common.serial_text(rids.Item('FD0A').RidAsByteArray)}")
        bbp = vireo.BBPRegs.BBPType
        print(f"  Baseband      {bench_common.BASEBANDS.get(bbp, 'unknown')} ({bbp})")

        check(vireo.SetChannel(args.channel), f"SetChannel({args.channel})")
        print(f"  Channel       {rids.Item('FDC1').GetAsInteger(1)}")
        check(vireo.ContinuousTx(args.pattern), "ContinuousTx")
        print(f"  Continuous transmit with pattern 0x{args.pattern & 0xFFFF:04X} for {args.seconds} s ...")
        time.sleep(args.seconds)
        vireo.StopTest()
        check(oleaut.last_status(), "StopTest")
        print("  Stopped.")

        tallies = vireo.Tallies
        if tallies.Refresh() != 1:
            raise bench_common.ExampleError("the tallies could not be read")
        print("  Tallies:")
        for name in SHOWN_TALLIES:
            print(f"    {name:<12} {getattr(tallies, name)}")
    return 0


if __name__ == "__main__":
    bench_common.run(main, "radio_test")

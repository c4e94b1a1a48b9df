#!/usr/bin/python3
"""Reads the bench's power meter and the spectrum analyzer's peak marker through the GPIB-ETHERNET
gateway with PyVISA's socket resource (python3-pyvisa with the python3-pyvisa-py backend).

Start the simulated gateway first, for example: vireo-bench instruments --port 1234
"""
import argparse
import sys

import pyvisa


class Gateway:
    """The gateway in controller mode: one TCP socket, the GPIB address chosen before each message."""

    def __init__(self, host, port, timeout_ms):
        self.rm = pyvisa.ResourceManager("@py")
        self.link = self.rm.open_resource(
            f"TCPIP0::{host}::{port}::SOCKET",
            read_termination="\n", write_termination="\n", timeout=timeout_ms + 500)
        for setting in ("++mode 1", "++auto 0", "++eoi 1", "++eos 2", f"++read_tmo_ms {timeout_ms}"):
            self.link.write(setting)
        self.address = None

    def write(self, address, message):
        if address != self.address:
            self.link.write(f"++addr {address}")
            self.address = address
        self.link.write(message)

    def query(self, address, message):
        self.write(address, message)
        self.link.write("++read eoi")
        return self.link.read().strip()

    def close(self):
        self.link.close()
        self.rm.close()


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--host", default="127.0.0.1", help="the gateway's numeric address (default 127.0.0.1)")
    parser.add_argument("--port", type=int, default=1234, help="its TCP port (default 1234)")
    parser.add_argument("--meter", type=int, default=13, help="the power meter's GPIB address (default 13)")
    parser.add_argument("--analyzer", type=int, default=18, help="the analyzer's GPIB address (default 18)")
    parser.add_argument("--centre-mhz", type=float, default=2412.0, help="analyzer centre frequency (default 2412)")
    parser.add_argument("--span-mhz", type=float, default=20.0, help="analyzer span (default 20)")
    parser.add_argument("--timeout-ms", type=int, default=1000, help="read time-out, 1..3000 ms (default 1000)")
    args = parser.parse_args(argv)
    try:
        gw = Gateway(args.host, args.port, args.timeout_ms)
    except (pyvisa.errors.VisaIOError, OSError) as e:
        print(f"instruments: cannot reach the gateway at {args.host}:{args.port}: {e}", file=sys.stderr)
        return 1
    try:
        print("gateway:", gw.link.query("++ver").strip())
        for code in ("PR", "AP", "LG", "KB100EN"):
            gw.write(args.meter, code)
        power = float(gw.query(args.meter, "TR2"))
        print(f"power meter (GPIB {args.meter}): {power:.2f} dBm")
        print(f"analyzer (GPIB {args.analyzer}): {gw.query(args.analyzer, 'ID?')}")
        for code in ("IP", f"CF {args.centre_mhz:g}MZ", f"SP {args.span_mhz:g}MZ", "RB 1MZ", "VB 3KZ",
                     "RL -25DM", "MKPK HI"):
            gw.write(args.analyzer, code)
        amplitude = float(gw.query(args.analyzer, "MKA?"))
        frequency = float(gw.query(args.analyzer, "MKF?"))
        print(f"peak marker: {amplitude:.2f} dBm at {frequency / 1e6:.3f} MHz")
    except pyvisa.errors.VisaIOError as e:
        print(f"instruments: an instrument did not answer: {e}", file=sys.stderr)
        return 1
    except ValueError as e:
        print(f"instruments: an instrument's reply is not a number: {e}", file=sys.stderr)
        return 1
    finally:
        gw.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())

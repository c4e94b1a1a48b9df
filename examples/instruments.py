#!/usr/bin/python3
"""Measures a channel's carrier, first sidelobes and output power on the bench's instruments through
the GPIB-ETHERNET gateway, with PyVISA's socket resource (python3-pyvisa, python3-pyvisa-py), in the
instruments' own languages: the spectrum analyzer's (centre, span, bandwidths, a single sweep waited
for with DONE?, peak search, next peak left and right) and the power meter's program codes.

Start the simulated gateway first, for example: vireo-bench instruments --port 1234
The gateway serves one program at a time: a console that has opened the instruments holds it until it exits.
"""
import argparse
import sys

import pyvisa


class Gateway:
    """The gateway in controller mode: one TCP connection; each message names its instrument."""

    def __init__(self, host, port, timeout_ms):
        self.rm = pyvisa.ResourceManager("@py")
        self.link = self.rm.open_resource(
            f"TCPIP0::{host}::{port}::SOCKET",
            read_termination="\n", write_termination="\n", timeout=timeout_ms + 500)
        # The settings are the controller's, as the last program left them: set all of them, and
        # keep them out of its EPROM (the address changes all the time).
        self.link.write("\n".join(("++savecfg 0", "++mode 1", "++auto 0", "++eoi 1", "++eos 2", "++eot_enable 0",
                                   f"++read_tmo_ms {timeout_ms}")))
        self.version = self.link.query("++ver").strip()
        self.address = None

    def _to(self, address, text):
        """`text` for the instrument at `address`, addressing it first when another one was."""
        if address == self.address:
            return text
        self.address = address
        return f"++addr {address}\n{text}"

    def write(self, address, message):
        self.link.write(self._to(address, message))

    def query(self, address, message):
        # One write for the query and the read request: two small writes would wait for each
        # other's acknowledgement (Nagle's algorithm) and take tens of milliseconds.
        self.link.write(self._to(address, f"{message}\n++read eoi"))
        return self.link.read().strip()

    def close(self):
        self.link.close()
        self.rm.close()


def channel_mhz(channel):
    return 2484 if channel == 14 else 2407 + 5 * channel


def measure(gw, meter, analyzer, channel):
    """The carrier and the stronger first sidelobe in dBm, and the output power in dBm."""
    identity = gw.query(analyzer, "ID?")
    if identity != "HP8593E":
        raise ValueError(f"the instrument at GPIB {analyzer} is {identity!r}, not the spectrum analyzer")
    gw.query(analyzer, "ERR?")  # empties its error list: what others left there is not ours
    gw.write(analyzer, f"IP;SNGLS;CF {channel_mhz(channel)}MZ;SP 100MZ;RB 1MZ;VB 3KZ;RL -25DM;MKPX 0.4DB;TS")
    if gw.query(analyzer, "DONE?") != "1":
        raise ValueError("the analyzer did not finish its sweep")
    gw.write(analyzer, "MKPK HI")
    carrier = float(gw.query(analyzer, "MKA?"))
    centre = float(gw.query(analyzer, "MKF?"))
    gw.write(analyzer, "MKPK NL")
    left = float(gw.query(analyzer, "MKA?"))
    gw.write(analyzer, "MKPK HI;MKPK NR")
    right = float(gw.query(analyzer, "MKA?"))
    errors = gw.query(analyzer, "ERR?")
    if errors != "0":
        raise ValueError(f"the analyzer reports errors {errors}")
    if not gw.query(meter, "?ID").startswith("HP438A"):
        raise ValueError(f"the instrument at GPIB {meter} is not the power meter")
    gw.write(meter, "PR AP LG KB100EN")
    power = float(gw.query(meter, "TR2"))
    return carrier, centre, max(left, right), power


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--host", default="127.0.0.1", help="the gateway's numeric address (default 127.0.0.1)")
    parser.add_argument("--port", type=int, default=1234, help="its TCP port (default 1234)")
    parser.add_argument("--meter", type=int, default=13, help="the power meter's GPIB address (default 13)")
    parser.add_argument("--analyzer", type=int, default=18, help="the analyzer's GPIB address (default 18)")
    parser.add_argument("--channel", type=int, default=1, choices=range(1, 15), help="the channel (default 1)")
    parser.add_argument("--timeout-ms", type=int, default=1000, help="read time-out, 1..3000 ms (default 1000)")
    args = parser.parse_args(argv)
    try:
        gw = Gateway(args.host, args.port, args.timeout_ms)
    except (pyvisa.errors.VisaIOError, OSError) as e:
        print(f"instruments: cannot use the gateway at {args.host}:{args.port} (off, or in use by another "
              f"program): {e}", file=sys.stderr)
        return 1
    try:
        print("gateway:", gw.version)
        carrier, centre, sidelobe, power = measure(gw, args.meter, args.analyzer, args.channel)
        print(f"carrier: {carrier:.2f} dBm at {centre / 1e6:.3f} MHz")
        print(f"first sidelobe: {sidelobe:.2f} dBm ({sidelobe - carrier:.2f} dBc)")
        print(f"output power: {power:.2f} dBm")
    except pyvisa.errors.VisaIOError as e:
        print(f"instruments: an instrument did not answer: {e}", file=sys.stderr)
        return 1
    except ValueError as e:
        print(f"instruments: {e}", file=sys.stderr)
        return 1
    finally:
        gw.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())

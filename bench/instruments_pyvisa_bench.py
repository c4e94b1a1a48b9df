#!/usr/bin/python3
"""Times a marker amplitude read and a power-meter reading from PyVISA through the gateway on
127.0.0.1:PORT, one write per query as examples/instruments.py does. Prints one JSON object with the
microseconds per call: {"marker": [median, p99], "power": [median, p99]}.

usage: instruments_pyvisa_bench.py PORT [RUNS]
"""
import json
import sys
import time

import pyvisa


def percentile(ordered, q):
    return ordered[int(q * (len(ordered) - 1))]


def main():
    port = int(sys.argv[1])
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 500
    rm = pyvisa.ResourceManager("@py")
    link = rm.open_resource(f"TCPIP0::127.0.0.1::{port}::SOCKET", read_termination="\n", write_termination="\n",
                            timeout=2000)
    link.write("++savecfg 0\n++mode 1\n++auto 0\n++eoi 1\n++eos 2\n++eot_enable 0\n++read_tmo_ms 1000")

    def query(address, message):
        link.write(f"++addr {address}\n{message}\n++read eoi")
        return link.read()

    query(18, "ID?")
    link.write("++addr 18\nMKACT 1;MKPK HI")
    figures = {}
    for name, address, message in (("marker", 18, "MKA?"), ("power", 13, "TR2")):
        took = []
        for i in range(runs + 10):
            start = time.perf_counter()
            float(query(address, message))
            if i >= 10:
                took.append((time.perf_counter() - start) * 1e6)
        took.sort()
        figures[name] = [percentile(took, 0.5), percentile(took, 0.99)]
    link.close()
    rm.close()
    print(json.dumps(figures))


if __name__ == "__main__":
    main()

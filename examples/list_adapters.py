#!/usr/bin/python3
"""Lists the host's network adapters: registry key, whether it is a Vireo adapter, its driver
service and description."""
import argparse

import bench_common
from bench_common import oleaut


def main(argv=None):
    argparse.ArgumentParser(description=__doc__).parse_args(argv)
    adapters = oleaut.Dispatch("OruDirEzo.Adapters")
    print(f"{adapters.Count} network adapter(s)")
    print(f"  {'Key':<6} {'Vireo':<6} {'Service':<16} Description")
    for adapter in adapters:
        vireo = "yes" if adapter.IsVela else "no"
        print(f"  {adapter.Enumerator:<6} {vireo:<6} {adapter.ServiceName:<16} {adapter.Description}")
    return 0


if __name__ == "__main__":
    bench_common.run(main, "list_adapters")

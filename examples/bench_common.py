"""Helpers shared by the example scripts: finding the oleaut module, opening an adapter, and
formatting what the adapter's records hold."""
import contextlib
import pathlib
import sys

try:
    import oleaut
except ImportError:  # pragma: no cover - only without PYTHONPATH
    sys.exit("example: the oleaut module was not found; run with PYTHONPATH=<build>/python, "
             "for example: PYTHONPATH=build/python /usr/bin/python3 examples/demo.py")

BASEBANDS = {0: "unknown", 3: "Alder", 16: "Birch S", 17: "Birch A", 19: "Birch B", 48: "Cedar"}


class ExampleError(Exception):
    """A step of an example that did not work; the message says which."""


def check(status, what):
    """Raises ExampleError when a member reported status 1 (its command failed)."""
    if status != oleaut.S_OK:
        raise ExampleError(f"{what} failed (status {status})")


def add_adapter_option(parser):
    parser.add_argument("--adapter", help="registry key of the adapter (default: the first Vireo adapter)")


def run(main, name):
    """Runs an example's main() as a program: failures end it with a one-line message."""
    try:
        sys.exit(main())
    except (ExampleError, oleaut.Error) as e:
        sys.exit(f"\n{name}: {e}")


def open_adapter(key=None):
    """Opens the adapter with the given registry key, or else the first Vireo adapter.
    Returns (adapter, vireo); close it with adapter.Close()."""
    adapters = oleaut.Dispatch("OruDirEzo.Adapters")
    if key is not None:
        adapter = adapters.Item(key)
    else:
        adapter = next((a for a in adapters if a.IsVela), None)
        if adapter is None:
            raise ExampleError("no Vireo adapter found: is the simulated bench installed? "
                               "(<build>/bin/vireo-bench install sim/benches/default.json)")
    if adapter.Open() != 1:
        raise ExampleError(f"adapter {adapter.Enumerator} could not be opened")
    vireo = adapter.Vireo
    if vireo is None:
        adapter.Close()
        raise ExampleError(f"adapter {adapter.Enumerator} ({adapter.Description}) is not a Vireo adapter")
    return adapter, vireo


@contextlib.contextmanager
def opened_adapter(key=None):
    """open_adapter() for a with block, which closes the adapter at its end."""
    adapter, vireo = open_adapter(key)
    try:
        yield adapter, vireo
    finally:
        adapter.Close()


def missing_members(vireo):
    """For each example ("radio", "pda", "firmware"): the members it uses that the component does
    not offer (yet), by name; empty when the example can run."""
    def lacking(obj, owner, *names):
        offered = dir(obj)
        return [f"{owner}.{name}" for name in names if name not in offered]

    return {
        "radio": lacking(vireo, "Vireo", "SetChannel", "ContinuousTx", "StopTest", "Tallies", "BBPRegs")
                 + lacking(vireo.RIDs, "RIDs", "Item"),
        "pda": lacking(vireo.PDA, "PDA", "Retrieve", "Commit", "AddPDR", "RemovePDR", "Item"),
        "firmware": lacking(vireo.Firmware, "Firmware", "LoadHEXFile", "MakeCalPdrs", "PlugImage", "FlashImage"),
    }


def mac_text(record_bytes):
    """The MAC address from record FC01's bytes (each word high byte first): 00-11-22-33-44-55."""
    if len(record_bytes) < 6:
        raise ExampleError(f"MAC address record holds {len(record_bytes)} bytes, not 6")
    return "-".join(f"{record_bytes[i]:02X}" for i in (1, 0, 3, 2, 5, 4))


def serial_text(record_bytes):
    """The serial number from record FD0A's bytes: two characters per word, low byte first;
    control characters and padding are left out."""
    chars = []
    for i in range(0, len(record_bytes) - 1, 2):
        chars += [record_bytes[i + 1], record_bytes[i]]
    return "".join(chr(c) for c in chars if c > 29).strip()


def build_tool(name):
    """A program of the build or installation that holds this oleaut module, or None: bin/ beside
    python/ in a build, <prefix>/bin for <prefix>/lib/python3/dist-packages when installed."""
    module = pathlib.Path(oleaut.__file__).resolve()
    for prefix in (module.parent.parent, module.parents[3] if len(module.parents) > 3 else None):
        if prefix is not None and (prefix / "bin" / name).exists():
            return prefix / "bin" / name
    return None

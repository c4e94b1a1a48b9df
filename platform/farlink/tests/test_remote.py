"""The component's objects on a remote host, through FarLink.clsAdapters and farlinkd."""
import gc
import json
import os
import signal
import subprocess
import sys
import time

import pytest
from conftest import CLIENT, HOST, SCRATCH, SOURCE, BUILD, rss_kib

import oleaut

RPC_E_DISCONNECTED = 0x80010108
CO_E_SERVER_EXEC_FAILURE = 0x80080005
E_ACCESSDENIED = 0x80070005


def remote_adapters(address):
    return oleaut.Dispatch("FarLink.clsAdapters", address).Adapters()


@pytest.fixture(autouse=True)
def release_everything():
    yield
    gc.collect()  # the connection closes with the last object reached through it


def test_a_remote_session_works_as_in_process(exporter, station_image):
    adapters = remote_adapters(exporter.address)
    assert [a.Enumerator for a in adapters] == ["0001", "0002", "0003", "0004"]
    with pytest.raises(oleaut.Error) as info:
        adapters.Item(0)
    assert info.value.hresult == oleaut.E_INVALIDARG
    assert info.value.description == "IAdapters : Index 0 not found or is an invalid index"
    assert info.value.source == "OruDirEzo.Adapters.1"

    adapter = adapters.Item("0001")
    assert adapter.Open() == 1
    vireo = adapter.Vireo
    assert vireo.SetChannel(6) == 0
    rids = vireo.RIDs
    assert rids.Item("fdc1").GetAsInteger(1) == 6
    mac = rids.Item("FC01").RidAsByteArray
    assert isinstance(mac, bytes) and len(mac) == 6
    assert isinstance(rids.Item("FC02").RidStringValue, str)
    tallies = vireo.Tallies
    assert tallies.Refresh() == 1
    pda = vireo.PDA
    assert pda.Retrieve() == 1 and pda.Count > 0
    assert pda.Commit() == 1

    class Sink:
        def __init__(self):
            self.blocks = []

        def FlashProgress(self, blockcount, blocklength, blockAddress):
            self.blocks.append((blockcount, blocklength, blockAddress))

    firmware = vireo.Firmware
    assert firmware.LoadHEXFile(str(station_image)) == 1
    sink = Sink()
    cookie = oleaut.advise(firmware, sink)
    assert firmware.FlashImage() == 1
    oleaut.unadvise(firmware, cookie)
    assert [b[0] for b in sink.blocks] == list(range(1, firmware.TotalImageBlocks + 1))
    assert sum(b[1] for b in sink.blocks) >= 200000
    assert adapter.Close() is not None


def test_failures_give_the_platform_codes(exporter, monkeypatch):
    closed = exporter.port + 1 if exporter.port < 65535 else exporter.port - 1
    stranger = SCRATCH / "stranger" / "client.pem"
    cases = [
        (f"127.0.0.1:{closed}", {}, CO_E_SERVER_EXEC_FAILURE),          # no exporter listening
        ("no such host!", {}, oleaut.RPC_S_SERVER_UNAVAILABLE),         # not a name (never looked up)
        (exporter.address, {"FARLINK_CREDENTIAL": str(stranger)}, E_ACCESSDENIED),        # wrong credential
        (exporter.address, {"FARLINK_CREDENTIAL": str(CLIENT / "none.pem")}, E_ACCESSDENIED),  # none
    ]
    for address, env, code in cases:
        gc.collect()
        with monkeypatch.context() as m:
            for k, v in env.items():
                m.setenv(k, v)
            started = time.monotonic()
            with pytest.raises(oleaut.Error) as info:
                oleaut.Dispatch("FarLink.clsAdapters", address)
            assert info.value.hresult == code, (address, info.value.description)
            assert time.monotonic() - started < 10
    # The client is still usable.
    assert remote_adapters(exporter.address).Count == 4


def test_an_exporter_killed_during_a_call_disconnects(own_exporter, exporter, station_image):
    firmware = None
    adapter = remote_adapters(own_exporter.address).Item("0003")
    assert adapter.Open() == 1
    firmware = adapter.Vireo.Firmware
    assert firmware.LoadHEXFile(str(station_image)) == 1

    class Killer:
        def FlashProgress(self, blockcount, blocklength, blockAddress):
            if blockcount == 1:
                own_exporter.process.kill()
                own_exporter.process.wait()

    oleaut.advise(firmware, Killer())
    started = time.monotonic()
    with pytest.raises(oleaut.Error) as info:
        firmware.FlashImage()
    assert info.value.hresult == RPC_E_DISCONNECTED
    assert time.monotonic() - started < 10
    with pytest.raises(oleaut.Error) as info:
        adapter.IsOpen
    assert info.value.hresult == RPC_E_DISCONNECTED
    # Other hosts still answer.
    assert remote_adapters(exporter.address).Count == 4


CLIENT_SCRIPT = """
import sys, oleaut
adapter = oleaut.Dispatch("FarLink.clsAdapters", sys.argv[1]).Adapters().Item("0002")
assert adapter.Open() == 1
assert adapter.Vireo.SetChannel(3) == 0
assert adapter.Vireo.ContinuousTx(0x5A5A) == 0
print("transmitting", flush=True)
sys.stdin.read()
"""


def emission(key):
    """What the host's adapter radiates, as the bench publishes it (None before it ever did)."""
    files = list((HOST / "bench-state").glob(f"*/{key}/rf-emission.json"))
    return json.loads(files[0].read_text()) if files else None


def wait_until(condition, seconds=10):
    deadline = time.monotonic() + seconds
    while not condition() and time.monotonic() < deadline:
        time.sleep(0.05)
    return condition()


def test_a_client_that_dies_leaves_no_adapter_transmitting(exporter):
    child = subprocess.Popen([sys.executable, "-c", CLIENT_SCRIPT, exporter.address], stdin=subprocess.PIPE,
                             stdout=subprocess.PIPE, text=True, env=dict(os.environ))
    try:
        assert child.stdout.readline().strip() == "transmitting"
        assert emission("0002")["transmitting"] and emission("0002")["channel"] == 3
    finally:
        child.kill()
        child.wait()
    assert wait_until(lambda: not emission("0002")["transmitting"]), (emission("0002"), exporter.log())
    assert exporter.wait_for_log("adapter 0002 was left open: test mode stopped, closed"), exporter.log()


def test_another_connections_session_handle_reaches_nothing(exporter_with, tmp_path):
    """A real session handle (the exporter's draws are recorded) reaches its session from the
    connection that opened it, and nothing from another connection."""
    draws = tmp_path / "draws"
    probe = str(BUILD / "python" / "tests" / "libfarlink_test_draws.so")
    preload = ":".join(filter(None, [os.environ.get("LD_PRELOAD"), probe]))
    host = exporter_with(env={"LD_PRELOAD": preload, "FARLINK_TEST_DRAWS": str(draws)})
    adapter = remote_adapters(host.address).Item("0001")
    assert adapter.Open() == 1
    handles = sorted(set(draws.read_text().split())) if draws.exists() else []
    assert handles, host.log()

    def reaches(handle):
        tallies = oleaut.Dispatch("OruDirEzo.Tallies", host.address)
        tallies._SetApiObj(int(handle))
        try:
            return tallies.Refresh() == 1
        except oleaut.Error:
            return False

    assert any(reaches(h) for h in handles), handles
    # Another client: another connection, so another apartment on the host.
    other = subprocess.run([sys.executable, "-c", STRANGER_SCRIPT, host.address, *handles], capture_output=True,
                           text=True, env=dict(os.environ), timeout=60)
    assert other.returncode == 0, other.stderr
    assert other.stdout.strip() == "nothing reached", (handles, other.stdout)
    adapter.Close()


STRANGER_SCRIPT = """
import sys, oleaut
host = sys.argv[1]
adapter = oleaut.Dispatch("FarLink.clsAdapters", host).Adapters().Item("0004")
assert adapter.Open() == 1
reached = 0
for handle in map(int, sys.argv[2:]):
    tallies = oleaut.Dispatch("OruDirEzo.Tallies", host)
    tallies._SetApiObj(handle)
    try:
        if tallies.Refresh() == 1:
            reached += 1
    except oleaut.Error:
        pass
print("nothing reached" if reached == 0 else f"{reached} sessions reached")
"""


def test_malformed_and_oversized_messages_close_only_their_connection(exporter):
    import socket
    import ssl
    import struct
    credential = str(CLIENT / "farlink" / "client.pem")
    context = ssl.create_default_context(cafile=credential)
    context.load_cert_chain(credential)
    garbage = struct.pack("<II", 0, 1 << 28) + b"\xff" * 64          # one segment of 2 GiB
    for payload, secured, reason in ((b"GET / HTTP/1.0\r\n\r\n", False, (": refused: ", "http request")),
                                     (garbage, True, ("closed: malformed message: ", "Message is too large"))):
        with socket.create_connection(("127.0.0.1", exporter.port), timeout=5) as raw:
            local = "127.0.0.1:%d" % raw.getsockname()[1]
            s = context.wrap_socket(raw, server_hostname="farlinkd") if secured else raw
            s.sendall(payload)
            try:
                while s.recv(1024):  # at most a goodbye; then the exporter closes (a time-out fails)
                    pass
            except (ConnectionError, ssl.SSLError):
                pass
        # The connection's own line: its address, and the reason it was refused or closed.
        assert wait_until(lambda: any(line.split("farlinkd: ", 1)[-1].startswith(local) and all(r in line for r in reason)
                                      for line in exporter.log().splitlines())), (local, reason, exporter.log())
    assert remote_adapters(exporter.address).Count == 4


def test_a_client_without_the_right_certificate_reaches_nothing(exporter):
    """A TLS client that presents no certificate, or one the host's authority did not sign, gets no
    answer to a well-formed bootstrap request: the exporter closes that connection and serves the
    next client as before. The same request with the host's credential is answered."""
    import socket
    import ssl
    bootstrap = (SOURCE / "fuzz" / "corpus" / "farlink" / "bootstrap").read_bytes()
    trusted = str(CLIENT / "farlink" / "client.pem")

    def answer(certificate):
        context = ssl.create_default_context(cafile=trusted)
        if certificate:
            context.load_cert_chain(certificate)
        received = b""
        with socket.create_connection(("127.0.0.1", exporter.port), timeout=10) as raw:
            try:
                with context.wrap_socket(raw, server_hostname="farlinkd") as s:
                    s.sendall(bootstrap)
                    while chunk := s.recv(4096):  # a refused client sees the end (a time-out fails)
                        received += chunk
                        if certificate == trusted:
                            break
            except (ConnectionError, ssl.SSLError):
                pass
        return received

    refused_before = exporter.log().count("refused")
    assert answer(trusted) != b""
    for certificate in (None, str(SCRATCH / "stranger" / "client.pem")):
        assert answer(certificate) == b"", certificate
    deadline = time.monotonic() + 5
    while exporter.log().count("refused") < refused_before + 2 and time.monotonic() < deadline:
        time.sleep(0.05)
    assert exporter.log().count("refused") >= refused_before + 2, exporter.log()
    assert remote_adapters(exporter.address).Count == 4


def test_a_released_collection_is_released_on_the_host_at_once(exporter):
    """The host keeps no collection the client has released: the adapter it left transmitting is
    stopped and closed as soon as the release arrives, while the connection stays open. An adapter
    of that collection the client still holds stays open."""
    provider = oleaut.Dispatch("FarLink.clsAdapters", exporter.address)
    kept = provider.Adapters()
    adapters = provider.Adapters()
    held = adapters.Item("0003")
    assert held.Open() == 1
    adapter = adapters.Item("0001")
    assert adapter.Open() == 1
    assert adapter.Vireo.SetChannel(9) == 0 and adapter.Vireo.ContinuousTx(0x1234) == 0
    assert emission("0001")["transmitting"]
    del adapter, adapters
    gc.collect()
    assert kept.Count == 4  # a round trip on the same connection carries the release
    assert wait_until(lambda: not emission("0001")["transmitting"]), exporter.log()
    assert exporter.wait_for_log("adapter 0001 was left open: test mode stopped, closed"), exporter.log()
    assert kept.Item("0001").IsOpen == 0 and kept.Count == 4
    assert held.IsOpen == 1
    held.Close()


def test_collections_asked_for_again_and_again_do_not_pile_up(exporter_with):
    """600 collections asked for and released on one connection: the host keeps none of them (kept
    until the disconnect, they grew it by some 3.7 MB)."""
    # Freed memory goes back at once (not into the sanitizer's quarantine), so growth is what is kept.
    host = exporter_with(env={"ASAN_OPTIONS": "detect_leaks=0:quarantine_size_mb=0"})
    provider = oleaut.Dispatch("FarLink.clsAdapters", host.address)
    for _ in range(100):
        assert provider.Adapters().Count == 4
    before = rss_kib(host.process.pid)
    for _ in range(600):
        provider.Adapters()
    assert provider.Adapters().Count == 4
    grown = rss_kib(host.process.pid) - before
    assert grown < 1024, f"the exporter grew by {grown} KiB over 600 collections"

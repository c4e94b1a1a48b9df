"""Who the exporter lets in and for how long: connections still in their handshake cannot keep a
client out, a full host says it is busy, a revoked client is turned away at once, an idle client is
closed, and a client that never reads its answers cannot grow the exporter's memory."""
import gc
import os
import shutil
import signal
import socket
import ssl
import struct
import subprocess
import sys
import threading
import time

import pytest
from conftest import CLIENT, HOST, SOURCE, farlinkd, rss_kib

import oleaut

E_ACCESSDENIED = 0x80070005
RPC_E_DISCONNECTED = 0x80010108
RPC_S_SERVER_TOO_BUSY = 0x800706BB
CREDENTIAL = CLIENT / "farlink" / "client.pem"


@pytest.fixture(autouse=True)
def release_everything():
    yield
    gc.collect()  # the connection closes with the last object reached through it


def wait_until(condition, seconds=15):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            if condition():
                return True
        except oleaut.Error:
            pass
        time.sleep(0.05)
    return condition()


def adapters(address, credential=None, monkeypatch=None):
    if credential:
        with monkeypatch.context() as m:
            m.setenv("FARLINK_CREDENTIAL", str(credential))
            return oleaut.Dispatch("FarLink.clsAdapters", address).Adapters()
    return oleaut.Dispatch("FarLink.clsAdapters", address).Adapters()


# A client in a process of its own: answers each line on its input with the host's adapter count
# (or the failure's status), so it holds its connection while the test goes on.
HOLDER = """
import sys, oleaut
adapters = oleaut.Dispatch("FarLink.clsAdapters", sys.argv[1]).Adapters()
print("connected", flush=True)
for line in sys.stdin:
    try:
        print(adapters.Count, flush=True)
    except oleaut.Error as e:
        print(hex(e.hresult), flush=True)
"""


class Holder:
    def __init__(self, address, credential=CREDENTIAL):
        self.process = subprocess.Popen([sys.executable, "-c", HOLDER, address], stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, text=True,
                                        env=dict(os.environ, FARLINK_CREDENTIAL=str(credential)))
        assert self.process.stdout.readline().strip() == "connected"

    def count(self):
        self.process.stdin.write("\n")
        self.process.stdin.flush()
        return self.process.stdout.readline().strip()

    def close(self):
        self.process.kill()
        self.process.wait()


def test_idle_handshakes_keep_no_client_out(exporter_with):
    exporter = exporter_with()
    held, stop = [], threading.Event()

    def hold():
        # 64 connections that never start their handshake, each renewed as the host drops it, a few
        # per second (as an idle scanner would).
        while not stop.is_set():
            held[:] = [s for s in held if s.fileno() >= 0 and not _closed(s)]
            if len(held) < 64:
                held.append(socket.create_connection(("127.0.0.1", exporter.port)))
                if len(held) == 64:
                    time.sleep(0.125)
            else:
                time.sleep(0.125)

    holder = threading.Thread(target=hold)
    holder.start()
    try:
        assert wait_until(lambda: len(held) == 64)
        assert adapters(exporter.address).Count == 4
    finally:
        stop.set()
        holder.join()
        for s in held:
            s.close()
    assert "handshake cut short" in exporter.log(), exporter.log()


def _closed(s):
    s.setblocking(False)
    try:
        return s.recv(1) == b""
    except BlockingIOError:
        return False
    except OSError:
        return True
    finally:
        s.setblocking(True)


def test_a_full_host_answers_busy(exporter_with):
    exporter = exporter_with("--max-connections", "1")
    first = Holder(exporter.address)
    try:
        with pytest.raises(oleaut.Error) as info:
            adapters(exporter.address)
        assert info.value.hresult == RPC_S_SERVER_TOO_BUSY, info.value.description
        assert "busy" in info.value.description
        assert first.count() == "4"
    finally:
        first.close()
    assert wait_until(lambda: adapters(exporter.address).Count == 4)
    assert "refused: busy, 1 clients are served already" in exporter.log(), exporter.log()


def test_a_revoked_client_is_turned_away_at_once(exporter_with, monkeypatch):
    suffix = str(time.monotonic_ns())
    alice, bob = f"alice{suffix}", f"bob{suffix}"
    credentials = {}
    for name in (alice, bob):
        farlinkd("--add-client", name)
        credentials[name] = CLIENT / f"{name}.pem"
        shutil.copy(HOST / "keys" / "clients" / f"{name}.pem", credentials[name])
    exporter = exporter_with()
    theirs = Holder(exporter.address, credentials[bob])
    try:
        mine = adapters(exporter.address, credentials[alice], monkeypatch)
        assert mine.Count == 4
        assert f'client "{alice}": accepted' in exporter.log() and f'client "{bob}": accepted' in exporter.log()
        # SIGHUP reads the credentials again and drops nobody.
        exporter.process.send_signal(signal.SIGHUP)
        assert exporter.wait_for_log("reloading the credentials")
        assert mine.Count == 4 and exporter.process.poll() is None

        farlinkd("--revoke", alice)
        with pytest.raises(oleaut.Error) as info:
            wait_until(lambda: mine.Count is None)  # raises once the host has ended the connection
            mine.Count
        assert info.value.hresult == E_ACCESSDENIED, info.value.description
        assert theirs.count() == "4"
        # A new connection with the revoked credential, from a process of its own.
        again = subprocess.run([sys.executable, "-c", HOLDER, exporter.address], capture_output=True, text=True,
                               env=dict(os.environ, FARLINK_CREDENTIAL=str(credentials[alice])), timeout=60)
        assert again.returncode != 0 and "0x80070005" in again.stderr, again.stderr
        assert "revoked" in again.stderr, again.stderr
        assert f'client "{alice}": ending: its credential is revoked' in exporter.log(), exporter.log()
        assert exporter.wait_for_log(f'client "{alice}": refused: its credential is revoked'), exporter.log()
        assert theirs.count() == "4"
    finally:
        theirs.close()
    listed = {line.split("\t")[0]: line.split("\t")[1] for line in farlinkd("--list-clients").splitlines()}
    assert listed[alice] == "revoked" and listed[bob] == "valid" and listed["client"] == "valid"
    refused = subprocess.run([str(HOST.parent.parent.parent / "bin" / "farlinkd"), "--add-client", alice],
                             env=dict(os.environ, FARLINK_CONFIG_DIR=str(HOST / "keys")), capture_output=True, text=True)
    assert refused.returncode != 0 and "issued before and is revoked" in refused.stderr


def test_an_idle_client_is_closed(exporter_with):
    exporter = exporter_with("--idle-timeout", "1")
    idle = adapters(exporter.address)
    assert idle.Count == 4
    assert exporter.wait_for_log('client "client": closed: no call for 1 s', seconds=15), exporter.log()
    with pytest.raises(oleaut.Error) as info:
        idle.Count
    assert info.value.hresult == RPC_E_DISCONNECTED


def test_a_credential_others_may_read_is_refused(exporter, tmp_path, monkeypatch):
    shared = tmp_path / "shared.pem"
    shutil.copy(CREDENTIAL, shared)
    shared.chmod(0o644)
    with pytest.raises(oleaut.Error) as info:
        adapters(exporter.address, shared, monkeypatch)
    assert info.value.hresult == E_ACCESSDENIED
    assert "may be read by others" in info.value.description and "chmod 600" in info.value.description


def messages(conversation):
    """The framed messages of a conversation file (one segment each)."""
    data, at, out = conversation.read_bytes(), 0, []
    while at < len(data):
        count = struct.unpack_from("<I", data, at)[0] + 1
        sizes = struct.unpack_from(f"<{count}I", data, at + 4)
        header = 4 + 4 * count + (4 if count % 2 == 0 else 0)
        out.append(bytearray(data[at:at + header + 8 * sum(sizes)]))
        at += header + 8 * sum(sizes)
    return out


def question_offset(message):
    """Byte offset of a Call message's question id: the root Message's first pointer is the call."""
    def target(word):
        pointer = struct.unpack_from("<Q", message, 8 + 8 * word)[0]
        offset = (pointer & 0xFFFFFFFF) >> 2
        offset -= (1 << 30) if offset & (1 << 29) else 0
        return word + 1 + offset, (pointer >> 32) & 0xFFFF
    root, data_words = target(0)
    call, _ = target(root + data_words)
    return 8 + 8 * call


def test_unread_answers_keep_memory_bounded(exporter_with):
    """20,000 pipelined calls for a whole type library whose answers are never read."""
    exporter = exporter_with()
    assert adapters(exporter.address).Count == 4  # the libraries are loaded: the baseline
    gc.collect()
    bootstrap, create, _, type_info = messages(SOURCE / "fuzz" / "corpus" / "farlink" / "type-information")[:4]
    at = question_offset(type_info)
    assert struct.unpack_from("<I", type_info, at)[0] == 3
    before = rss_kib(exporter.process.pid)
    context = ssl.create_default_context(cafile=str(CREDENTIAL))
    context.load_cert_chain(str(CREDENTIAL))
    sent = 0
    with socket.create_connection(("127.0.0.1", exporter.port), timeout=10) as raw:
        with context.wrap_socket(raw, server_hostname="farlinkd") as s:
            s.sendall(bytes(bootstrap) + bytes(create))
            s.settimeout(3)
            try:
                for question in range(3, 20003):
                    struct.pack_into("<I", type_info, at, question)
                    s.sendall(type_info)
                    sent += 1
            except socket.timeout:
                pass  # the exporter stopped reading: what it answered is not taken
            time.sleep(2)
            grown = rss_kib(exporter.process.pid) - before
            assert grown < 64 * 1024, f"{sent} calls sent, the exporter grew by {grown} KiB"
            # Another client is served meanwhile.
            assert adapters(exporter.address).Count == 4
    assert sent < 20000, "the exporter read every call while none of its answers was taken"

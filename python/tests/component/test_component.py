"""The component's object model from Python, on the default simulated bench."""
import pytest
from conftest import require

import oleaut


def data_bytes_of(image):
    """Bytes carried by the data records (S1, S2, S3) of an S-record file."""
    address_bytes = {"S1": 2, "S2": 3, "S3": 4}
    total = 0
    for line in image.read_text().splitlines():
        if line[:2] in address_bytes:
            total += int(line[2:4], 16) - address_bytes[line[:2]] - 1
    return total


def test_adapters_are_listed_in_key_order(adapters):
    keys = [a.Enumerator for a in adapters]
    assert adapters.Count == len(keys) == 4
    assert keys == sorted(keys)
    assert adapters.Item(1) == next(iter(adapters))
    assert adapters(keys[-1]).Enumerator == keys[-1]
    assert sum(1 for a in adapters if a.IsVela) == 3


@pytest.mark.parametrize("index, text", [
    (0, "IAdapters : Index 0 not found or is an invalid index"),
    (5, "IAdapters : Index 5 not found or is an invalid index"),
    ("nokey", "IAdapters : Key nokey not found "),
])
def test_adapter_lookup_failures_carry_the_components_texts(adapters, index, text):
    with pytest.raises(oleaut.Error) as info:
        adapters.Item(index)
    e = info.value
    assert (e.hresult, e.description, e.source) == (oleaut.E_INVALIDARG, text, "OruDirEzo.Adapters.1")


def test_open_close_and_the_vireo_object(adapters):
    vela, other = adapters.Item(1), adapters.Item(4)
    assert (vela.IsOpen, vela.Open(), vela.IsOpen) == (0, 1, 1)
    assert isinstance(vela.Vireo, oleaut.Dispatch)
    vela.Close()
    assert (vela.IsOpen, vela.Vireo) == (0, None)
    assert other.IsVela == 0


def test_events_without_members_accept_a_sink(adapters):
    cookie = oleaut.advise(adapters, object())
    oleaut.unadvise(adapters, cookie)
    with pytest.raises(oleaut.Error) as info:
        oleaut.unadvise(adapters, cookie)
    assert info.value.hresult == oleaut.CONNECT_E_NOCONNECTION


def test_channel_statuses_and_the_channel_record(vireo):
    require(vireo, "SetChannel")
    require(vireo.RIDs, "Item")
    assert vireo.SetChannel(15) == 1
    assert vireo.SetChannel(6) == 0
    assert vireo.RIDs.Item("FDC1").GetAsInteger(1) == 6


def test_a_firmware_download_reports_one_flash_progress_per_block(vireo, station_image):
    class Sink:
        def __init__(self):
            self.blocks = []

        def FlashProgress(self, blockcount, blocklength, blockAddress):
            self.blocks.append((blockcount, blocklength, blockAddress))

    firmware = vireo.Firmware
    require(firmware, "LoadHEXFile", "PlugImage", "FlashImage", "TotalImageBlocks")
    assert firmware.LoadHEXFile(str(station_image)) == 1
    firmware.PlugImage()
    sink = Sink()
    cookie = oleaut.advise(firmware, sink)
    assert firmware.FlashImage() == 1
    oleaut.unadvise(firmware, cookie)

    numbers = [b[0] for b in sink.blocks]
    assert numbers == list(range(1, len(numbers) + 1))
    assert all(0 < b[1] <= 4096 for b in sink.blocks)
    assert sum(b[1] for b in sink.blocks) == data_bytes_of(station_image)
    assert len(numbers) <= firmware.TotalImageBlocks

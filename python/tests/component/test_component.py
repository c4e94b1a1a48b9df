"""The component's object model from Python, on the default simulated bench."""
import pytest
from conftest import require

import oleaut


def expected_blocks(image):
    """(length, address) of each block a download of the S-record file sends: the data records
    below 0xF00000 form segments where each continues the previous one's end, and each segment
    goes in blocks of at most 4096 bytes."""
    address_bytes = {"S1": 2, "S2": 3, "S3": 4}
    segments = []  # [start, length]
    for line in image.read_text().splitlines():
        width = address_bytes.get(line[:2])
        if width is None:
            continue
        address = int(line[4:4 + 2 * width], 16)
        length = int(line[2:4], 16) - width - 1
        if address >= 0xF00000:
            continue  # plug, CRC and information records
        if segments and sum(segments[-1]) == address:
            segments[-1][1] += length
        else:
            segments.append([address, length])
    return [(min(4096, length - offset), start + offset)
            for start, length in segments for offset in range(0, length, 4096)]


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

    assert [b[0] for b in sink.blocks] == list(range(1, len(sink.blocks) + 1))
    assert [b[1:] for b in sink.blocks] == expected_blocks(station_image)
    assert len(sink.blocks) > 1

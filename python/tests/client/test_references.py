"""The client releases every reference it takes: once a script drops its objects, the server has
no live object left."""
import ctypes
import gc
import os

import pytest

import oleaut


def server_can_unload():
    server = ctypes.CDLL(os.environ["ORU_TEST_SERVER"])
    server.DllCanUnloadNow.restype = ctypes.c_int32
    return server.DllCanUnloadNow() == 0


def use_every_path():
    obj = oleaut.Dispatch("OruTest.Object")
    items = obj.Items
    assert obj.Echo(items) == items
    assert [i.Name for i in items] == ["alpha", "beta", "gamma"]
    assert obj.Child("kid").Name == "kid"
    enumerator = iter(items)
    next(enumerator)  # an enumerator dropped half-way
    with pytest.raises(oleaut.Error):
        items.Item(0)
    with pytest.raises(OverflowError):
        obj.Echo([1, 2**40])
    sink = type("Sink", (), {"Finished": lambda self, text: None})()
    oleaut.advise(obj, sink)
    obj.Fire(2, "done")
    cookie = oleaut.advise(obj, sink)
    oleaut.unadvise(obj, cookie)


def test_no_object_outlives_the_script():
    gc.collect()
    assert server_can_unload(), "objects of earlier tests are still alive"
    use_every_path()
    gc.collect()
    assert server_can_unload()

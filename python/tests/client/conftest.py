"""Registers the test automation server in the scratch registry before any test runs."""
import ctypes
import os
import pathlib

import pytest


def _register_test_server():
    hive = pathlib.Path(os.environ["ORU_REGISTRY"])
    hive.parent.mkdir(parents=True, exist_ok=True)
    hive.unlink(missing_ok=True)
    server = ctypes.CDLL(os.environ["ORU_TEST_SERVER"])
    server.DllRegisterServer.restype = ctypes.c_int32
    status = server.DllRegisterServer()
    assert status == 0, f"DllRegisterServer failed: 0x{status & 0xFFFFFFFF:08X}"


_register_test_server()

import oleaut  # noqa: E402  (after registration: nothing is created at import, but keep the order obvious)


@pytest.fixture
def obj():
    return oleaut.Dispatch("OruTest.Object")


@pytest.fixture
def coll():
    return oleaut.Dispatch("OruTest.Collection")

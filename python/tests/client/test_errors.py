"""Failure statuses become oleaut.Error with the error object's texts."""
import pytest

import oleaut


def raised(call):
    with pytest.raises(oleaut.Error) as info:
        call()
    return info.value


def test_error_object_texts_reach_the_script(obj):
    e = raised(lambda: obj.Fail(oleaut.E_FAIL - 2**32, "ITestObject : Register 7 cannot be read"))
    assert (e.hresult, e.description, e.source) == (
        oleaut.E_FAIL, "ITestObject : Register 7 cannot be read", "OruTest.Object.1")
    assert oleaut.last_status() == oleaut.E_FAIL
    assert str(e) == "OruTest.Object.1: ITestObject : Register 7 cannot be read (0x80004005)"


@pytest.mark.parametrize("index, text", [
    (0, "ITestCollection : Index 0 not found or is an invalid index"),
    (4, "ITestCollection : Index 4 not found or is an invalid index"),
    ("zeta", "ITestCollection : Key zeta not found "),
    (1.5, "ITestCollection : Index argument type unknown"),
])
def test_collection_lookup_failures(coll, index, text):
    e = raised(lambda: coll.Item(index))
    assert (e.hresult, e.description, e.source) == (oleaut.E_INVALIDARG, text, "OruTest.Collection.1")


def test_a_failure_without_error_object_is_explained_not_given_stale_texts(obj):
    raised(lambda: obj.Fail(oleaut.E_INVALIDARG - 2**32, "ITestObject : first"))
    obj.Divide(1, 1)
    e = raised(lambda: obj.Status(oleaut.E_FAIL - 2**32))
    assert e.hresult == oleaut.E_FAIL
    assert "first" not in e.description
    assert e.description == "Status: unspecified failure"


def test_argument_of_the_wrong_type_names_its_position(obj):
    e = raised(lambda: obj.Divide(6, "three"))
    assert e.hresult == oleaut.DISP_E_TYPEMISMATCH
    assert e.description == "argument 2 of Divide: type mismatch"


@pytest.mark.parametrize("args, status, text", [
    (("No.Such.Class",), oleaut.CO_E_CLASSSTRING, "creating No.Such.Class: "),
    # Without a client credential nothing is sent to the host, not even a name look-up.
    (("OruTest.Object", "bench-host-2"), 0x80070005, "no credential for bench-host-2"),
])
def test_activation_failures(args, status, text):
    e = raised(lambda: oleaut.Dispatch(*args))
    assert e.hresult == status
    assert e.description.startswith(text)

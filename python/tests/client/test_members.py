"""Calling members: out values, statuses, the default member, iteration, help and threads."""
import pydoc
import threading

import pytest

import oleaut


def test_out_values_are_the_result_in_parameter_order(obj):
    assert obj.Divide(17, 5) == (3, 2)
    assert obj.Interleave(21, "abc") == (42, "ABC")
    assert obj.Serial == "SN-0001"


@pytest.mark.parametrize("status", [0, 1, 7])
def test_members_without_out_values_return_their_status(obj, status):
    assert obj.Status(status) == status
    assert oleaut.last_status() == status


def test_member_names_ignore_case(obj):
    obj.name = "x"
    assert obj.NAME == "x"


def test_returned_objects_are_dispatch_objects(obj):
    child = obj.Child("kid")
    assert isinstance(child, oleaut.Dispatch)
    assert child.Name == "kid"
    assert child != obj


@pytest.mark.parametrize("call, error, text", [
    (lambda o: o.Divide(1), TypeError, r"Divide\(\) takes 2 arguments \(1 given\)"),
    (lambda o: o.Status(), TypeError, r"Status\(\) takes 1 argument \(0 given\)"),
    (lambda o: o.Divide(dividend=1, divisor=1), TypeError, "takes positional arguments only"),
    (lambda o: o.Missing, AttributeError, "'ITestObject' object has no member 'Missing'"),
    (lambda o: setattr(o, "Serial", "x"), AttributeError, "ITestObject.Serial is read-only"),
    (lambda o: setattr(o, "Missing", 1), AttributeError, "has no member 'Missing'"),
    (lambda o: o(1), TypeError, "no default member"),
    (lambda o: iter(o), TypeError, "not a collection"),
])
def test_misuse_gets_a_clear_python_error(obj, call, error, text):
    with pytest.raises(error, match=text):
        call(obj)


def test_collection_by_index_key_default_member_and_iteration(coll):
    assert coll.Count == 3
    assert [item.Name for item in coll] == ["alpha", "beta", "gamma"]
    assert coll(2).Name == "beta"
    with pytest.raises(TypeError, match="takes positional arguments only"):
        coll(index=2)
    assert coll.Item("gamma").Name == "gamma"
    assert next(iter(coll)) == coll.Item(1)
    assert len(list(coll)) == 3  # each iteration takes a fresh enumerator


def test_dir_and_help_list_the_members(obj):
    names = dir(obj)
    assert {"Name", "Divide", "Fire", "Items"} <= set(names)
    assert names.count("Name") == 1
    text = pydoc.render_doc(obj, renderer=pydoc.plaintext)
    assert "ITestObject: Test object" in text
    assert "Divide(dividend, divisor) -> (quotient, remainder)" in text
    assert "Echo(value) -> result" in text
    assert "Returns its argument." in text
    assert "Serial    [read-only property]" in text
    assert "Name    [property]" in text
    assert "Divide(dividend, divisor)" in obj.Divide.__doc__
    assert oleaut.Dispatch.__doc__.startswith("Dispatch(progid, host=None)")


def test_objects_without_type_information_are_called_by_name():
    untyped = oleaut.Dispatch("OruTest.Untyped")
    untyped.Number = 12
    assert untyped.Number == 12
    assert untyped.Echo("x") == "x"
    assert untyped.Status(1) == 1
    with pytest.raises(AttributeError, match="no member 'Missing'"):
        untyped.Missing


def test_an_object_is_used_on_the_thread_that_created_it(obj):
    failures = []

    def other_thread():
        try:
            obj.Number
        except oleaut.Error as e:
            failures.append(e.hresult)

    t = threading.Thread(target=other_thread)
    t.start()
    t.join()
    assert failures == [oleaut.RPC_E_WRONG_THREAD]
    assert obj.Number == 0  # still fine on its own thread


def test_each_thread_gets_its_own_apartment():
    names = []

    def other_thread():
        names.append(oleaut.Dispatch("OruTest.Collection").Item(3).Name)

    t = threading.Thread(target=other_thread)
    t.start()
    t.join()
    assert names == ["gamma"]

"""Values crossing between Python and the automation object, both ways."""
import pytest

import oleaut

VT_EMPTY, VT_I4, VT_R8, VT_BSTR, VT_DISPATCH, VT_BOOL, VT_UI1, VT_ARRAY = 0, 3, 5, 8, 9, 11, 17, 0x2000


@pytest.mark.parametrize("value, expected", [
    (None, None),
    (True, True),
    (False, False),
    (0, 0),
    (-1, -1),
    (2**31 - 1, 2**31 - 1),
    (-2**31, -2**31),
    (1.5, 1.5),
    ("", ""),
    ("Kanal 6 \u00e9\u20ac", "Kanal 6 \u00e9\u20ac"),
    ("\U0001F4E1", "\U0001F4E1"),  # outside the basic plane: a surrogate pair in UTF-16
    (b"", b""),
    (b"\x00\xff\x10", b"\x00\xff\x10"),
    (bytearray(b"ab"), b"ab"),
    ([1, -2, 2**31 - 1], [1, -2, 2**31 - 1]),
    ((4, 5), [4, 5]),
    ([], []),
])
def test_round_trip(obj, value, expected):
    result = obj.Echo(value)
    assert result == expected
    assert type(result) is type(expected)


@pytest.mark.parametrize("value, vt", [
    (None, VT_EMPTY),
    (True, VT_BOOL),
    (7, VT_I4),
    (2.0, VT_R8),
    ("x", VT_BSTR),
    (b"x", VT_ARRAY | VT_UI1),
    ([1], VT_ARRAY | VT_I4),
])
def test_python_values_arrive_as_variant_types(obj, value, vt):
    assert obj.TypeOf(value) == vt


def test_objects_pass_both_ways(obj, coll):
    assert obj.TypeOf(coll) == VT_DISPATCH
    back = obj.Echo(coll)
    assert isinstance(back, oleaut.Dispatch)
    assert back == coll
    assert back.Count == 3


@pytest.mark.parametrize("value, error, text", [
    (2**31, OverflowError, "argument 1 of Echo: 2147483648 does not fit"),
    (-2**31 - 1, OverflowError, "does not fit a 32-bit signed integer"),
    ([1, 2**40], OverflowError, "argument 1 of Echo item 1"),
    ([1, "2"], TypeError, "must hold int only, not str"),
    ({}, TypeError, "values of type dict have no automation form"),
    (object(), TypeError, "values of type object have no automation form"),
])
def test_values_without_automation_form_are_refused(obj, value, error, text):
    with pytest.raises(error, match=text.replace("(", r"\(")):
        obj.Echo(value)


def test_arrays_of_other_element_types_become_lists(obj):
    assert obj.Words() == [1, -2, 300]
    assert obj.Texts() == ["a", "b"]


@pytest.mark.parametrize("name, value", [("Name", "Birch B"), ("Number", -42), ("Flag", True), ("Flag", False)])
def test_properties_read_back_what_was_written(obj, name, value):
    setattr(obj, name, value)
    assert getattr(obj, name) == value
    assert type(getattr(obj, name)) is type(value)

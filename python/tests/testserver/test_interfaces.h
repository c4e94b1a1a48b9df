// Interfaces of the test automation server: an object with members of every parameter kind and an
// event source, a collection of such objects, and their outgoing interface.
#pragma once

#include "oleaut/oaidl.h"

struct ITestObject : IDispatch {
    static constexpr IID iid = makeGuid("6D1E7A10-3C52-4B8E-9A41-0F2B5C7D8E01");
    virtual HRESULT get_Name(BSTR* value) = 0;
    virtual HRESULT put_Name(BSTR value) = 0;
    virtual HRESULT get_Number(LONG* value) = 0;
    virtual HRESULT put_Number(LONG value) = 0;
    virtual HRESULT get_Flag(VARIANT* value) = 0;  // VT_BOOL
    virtual HRESULT put_Flag(VARIANT value) = 0;
    virtual HRESULT get_Serial(BSTR* value) = 0;  // read-only
    // The argument as it arrived, and the VARTYPE it arrived as.
    virtual HRESULT Echo(VARIANT value, VARIANT* result) = 0;
    virtual HRESULT TypeOf(VARIANT value, LONG* vt) = 0;
    // Two out values: a tuple.
    virtual HRESULT Divide(LONG dividend, LONG divisor, LONG* quotient, LONG* remainder) = 0;
    // Out values between in values; the last is the retval.
    virtual HRESULT Interleave(LONG number, LONG* twice, BSTR text, BSTR* upper) = 0;
    // Returns `status` without an error object.
    virtual HRESULT Status(LONG status) = 0;
    // Sets an error object with `description` and returns `status`.
    virtual HRESULT Fail(LONG status, BSTR description) = 0;
    virtual HRESULT Child(BSTR name, ITestObject** child) = 0;
    virtual HRESULT Words(VARIANT* words) = 0;  // VT_ARRAY|VT_I2: 1, -2, 300
    virtual HRESULT Texts(VARIANT* texts) = 0;  // VT_ARRAY|VT_BSTR: "a", "b"
    // Fires Progress(block, total) once per block, then Finished(text).
    virtual HRESULT Fire(LONG blocks, BSTR text) = 0;
    virtual HRESULT get_Items(IDispatch** items) = 0;
};

struct ITestCollection : IDispatch {
    static constexpr IID iid = makeGuid("6D1E7A10-3C52-4B8E-9A41-0F2B5C7D8E02");
    virtual HRESULT get_Count(LONG* count) = 0;
    virtual HRESULT get_Item(VARIANT index, IDispatch** item) = 0;
    virtual HRESULT get__NewEnum(IUnknown** items) = 0;
};

// Outgoing interface of TestObject (implemented by sinks).
struct _ITestEvents {
    static constexpr IID iid = makeGuid("6D1E7A10-3C52-4B8E-9A41-0F2B5C7D8E03");
};

// A small automation class for the runtime's tests: served by the table-driven IDispatch, with
// an event interface, used in process and from the test server library.
#pragma once

#include <vector>

#include "oleaut/com_object.h"

struct ITestEvents : IDispatch {
    static constexpr IID iid = makeGuid("6B1E0C52-3F4A-4C11-9E2D-7A0B5C3D9E01");
};

struct ITestObj : IDispatch {
    static constexpr IID iid = makeGuid("6B1E0C52-3F4A-4C11-9E2D-7A0B5C3D9E02");
    virtual HRESULT Add(LONG a, LONG b, LONG* sum) = 0;
    virtual HRESULT get_Name(BSTR* pVal) = 0;
    virtual HRESULT put_Name(BSTR newVal) = 0;
    virtual HRESULT Split(LONG value, SHORT* high, SHORT* low) = 0;
    virtual HRESULT Check(LONG value, LONG* bResults) = 0;  // S_FALSE for a negative value
    virtual HRESULT Fail(BSTR text) = 0;  // E_FAIL with text as the error (none for an empty text)
    virtual HRESULT get_Item(VARIANT index, VARIANT* pVal) = 0;
    virtual HRESULT get__NewEnum(IUnknown** pVal) = 0;
    virtual HRESULT _SetFlag(SHORT flag, BYTE code) = 0;
    virtual HRESULT Ping(LONG n) = 0;  // raises Pinged(n) on every sink
};

inline constexpr CLSID CLSID_TestObj = makeGuid("6B1E0C52-3F4A-4C11-9E2D-7A0B5C3D9E03");
inline constexpr GUID LIBID_TestLib = makeGuid("6B1E0C52-3F4A-4C11-9E2D-7A0B5C3D9E04");
inline constexpr GUID GUID_TestColour = makeGuid("6B1E0C52-3F4A-4C11-9E2D-7A0B5C3D9E05");
inline constexpr GUID GUID_TestPair = makeGuid("6B1E0C52-3F4A-4C11-9E2D-7A0B5C3D9E06");
inline constexpr DISPID DISPID_Pinged = 1;

class TestObj final : public oleaut::DispatchObjectWithEvents<TestObj, ITestObj, ITestEvents> {
public:
    static oleaut::ServerModule& module();
    static ITypeLib* typeLib();
    static const oleaut::InterfaceDesc& dispatchTable();
    static const oleaut::InterfaceDesc& eventTable();
    static const oleaut::TypeLibDesc& libraryDesc();
    static std::u16string_view errorSource() { return u"OleautTest.TestObj.1"; }

    HRESULT Add(LONG a, LONG b, LONG* sum) override;
    HRESULT get_Name(BSTR* pVal) override;
    HRESULT put_Name(BSTR newVal) override;
    HRESULT Split(LONG value, SHORT* high, SHORT* low) override;
    HRESULT Check(LONG value, LONG* bResults) override;
    HRESULT Fail(BSTR text) override;
    HRESULT get_Item(VARIANT index, VARIANT* pVal) override;
    HRESULT get__NewEnum(IUnknown** pVal) override;
    HRESULT _SetFlag(SHORT flag, BYTE code) override;
    HRESULT Ping(LONG n) override;

    SHORT flag = 0;
    BYTE code = 0;

private:
    std::u16string name_ = u"unnamed";
};

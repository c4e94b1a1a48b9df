#include <gtest/gtest.h>

#include <cmath>

#include "test_support.h"

TEST(Variant, CopyDuplicatesTextsCountsInterfacesAndCopiesArrays) {
    Var src = Var::text(u"FC01");
    Var dst;
    ASSERT_EQ(VariantCopy(&dst, &src), S_OK);
    EXPECT_NE(dst.bstrVal, src.bstrVal);
    EXPECT_EQ(describe(dst), "BSTR:FC01");

    FakeObject obj;
    {
        Var o;
        o.vt = VT_DISPATCH;
        o.pdispVal = &obj;
        obj.AddRef();
        ASSERT_EQ(VariantCopy(&dst, &o), S_OK);  // replaces the text, which is freed
        EXPECT_EQ(obj.refs(), 3u);
    }
    EXPECT_EQ(obj.refs(), 2u);
    VariantClear(&dst);
    EXPECT_EQ(obj.refs(), 1u);

    Var arr;
    arr.vt = VT_ARRAY | VT_UI1;
    arr.parray = SafeArrayCreateVector(VT_UI1, 0, 2);
    ASSERT_EQ(VariantCopy(&dst, &arr), S_OK);
    EXPECT_NE(dst.parray, arr.parray);
    EXPECT_EQ(dst.parray->rgsabound[0].cElements, 2u);
}

TEST(Variant, CopyIndFollowsReferences) {
    LONG value = 42;
    Var ref;
    ref.vt = VT_BYREF | VT_I4;
    ref.plVal = &value;
    Var dst;
    ASSERT_EQ(VariantCopyInd(&dst, &ref), S_OK);
    EXPECT_EQ(describe(dst), "I4:42");

    Var inner = Var::text(u"x");
    Var viaVariant;
    viaVariant.vt = VT_BYREF | VT_VARIANT;
    viaVariant.pvarVal = &inner;
    ASSERT_EQ(VariantCopyInd(&dst, &viaVariant), S_OK);
    EXPECT_EQ(describe(dst), "BSTR:x");
    EXPECT_NE(dst.bstrVal, inner.bstrVal);

    Var twice;  // a reference to a reference is refused, and dst is kept
    twice.vt = VT_BYREF | VT_VARIANT;
    twice.pvarVal = &ref;
    EXPECT_EQ(VariantCopyInd(&dst, &twice), E_INVALIDARG);
    EXPECT_EQ(describe(dst), "BSTR:x");
}

TEST(Variant, ClearRefusesBadTypesAndLockedArrays) {
    Var bad;
    bad.vt = 0x7F;
    EXPECT_EQ(VariantClear(&bad), DISP_E_BADVARTYPE);
    bad.vt = VT_EMPTY;

    Var arr;
    arr.vt = VT_ARRAY | VT_I4;
    arr.parray = SafeArrayCreateVector(VT_I4, 0, 1);
    SafeArrayLock(arr.parray);
    EXPECT_EQ(VariantClear(&arr), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(arr.vt, VT_ARRAY | VT_I4);  // untouched: nothing freed under the lock holder
    SafeArrayUnlock(arr.parray);
}

struct Conversion {
    Var (*make)();
    VARTYPE to;
    HRESULT hr;
    const char* result;  // on success
};

void PrintTo(const Conversion& c, std::ostream* os) {
    Var src = c.make();
    *os << describe(src) << " -> vt " << c.to;
}

class ChangeType : public ::testing::TestWithParam<Conversion> {};

TEST_P(ChangeType, ConvertsOrRefuses) {
    const Conversion& c = GetParam();
    Var src = c.make();
    Var dst = Var::text(u"kept");
    ASSERT_EQ(VariantChangeType(&dst, &src, 0, c.to), c.hr);
    EXPECT_EQ(describe(dst), SUCCEEDED(c.hr) ? c.result : "BSTR:kept");  // a failure leaves dst alone
}

INSTANTIATE_TEST_SUITE_P(
    Table, ChangeType,
    ::testing::Values(
        Conversion{[] { return Var(255); }, VT_UI1, S_OK, "UI1:255"},
        Conversion{[] { return Var(256); }, VT_UI1, DISP_E_OVERFLOW, ""},
        Conversion{[] { return Var(-1); }, VT_UI2, DISP_E_OVERFLOW, ""},
        Conversion{[] { return Var(-32768); }, VT_I2, S_OK, "I2:-32768"},
        Conversion{[] { return Var(-128); }, VT_I1, S_OK, "I1:-128"},
        Conversion{[] { return Var(-1); }, VT_UI4, DISP_E_OVERFLOW, ""},
        Conversion{[] { return Var::of<ULONGLONG>(VT_UI8, ~0ull); }, VT_I8, DISP_E_OVERFLOW, ""},
        Conversion{[] { return Var::of<LONGLONG>(VT_I8, -5); }, VT_UI8, DISP_E_OVERFLOW, ""},
        Conversion{[] { return Var(5); }, VT_BOOL, S_OK, "BOOL:-1"},
        Conversion{[] { return Var::of<VARIANT_BOOL>(VT_BOOL, VARIANT_TRUE); }, VT_I4, S_OK, "I4:-1"},
        Conversion{[] { return Var::of<VARIANT_BOOL>(VT_BOOL, VARIANT_TRUE); }, VT_BSTR, S_OK, "BSTR:-1"},
        Conversion{[] { return Var(-7); }, VT_BSTR, S_OK, "BSTR:-7"},
        Conversion{[] { return Var::of<double>(VT_R8, 2.5); }, VT_I4, S_OK, "I4:2"},
        Conversion{[] { return Var::of<double>(VT_R8, 3.5); }, VT_I4, S_OK, "I4:4"},
        Conversion{[] { return Var::of<double>(VT_R8, -2.5); }, VT_I2, S_OK, "I2:-2"},
        Conversion{[] { return Var::of<double>(VT_R8, 1e300); }, VT_R4, DISP_E_OVERFLOW, ""},
        Conversion{[] { return Var::of<double>(VT_R8, 4294967296.0); }, VT_UI4, DISP_E_OVERFLOW, ""},
        Conversion{[] { return Var::of<double>(VT_R8, NAN); }, VT_I4, DISP_E_OVERFLOW, ""},
        Conversion{[] { return Var::of<float>(VT_R4, 0.1f); }, VT_BSTR, S_OK, "BSTR:0.1"},
        Conversion{[] { return Var::of<double>(VT_R8, 1.5e20); }, VT_BSTR, S_OK, "BSTR:1.5E+20"},
        Conversion{[] { return Var::text(u"  42 "); }, VT_I4, S_OK, "I4:42"},
        Conversion{[] { return Var::text(u"+17"); }, VT_UI1, S_OK, "UI1:17"},
        Conversion{[] { return Var::text(u"70000"); }, VT_I2, DISP_E_OVERFLOW, ""},
        Conversion{[] { return Var::text(u"1.5"); }, VT_R8, S_OK, "R8:1.5"},
        Conversion{[] { return Var::text(u"2.5"); }, VT_I4, S_OK, "I4:2"},
        Conversion{[] { return Var::text(u"18446744073709551615"); }, VT_UI8, S_OK, "UI8:18446744073709551615"},
        Conversion{[] { return Var::text(u"-9223372036854775808"); }, VT_I8, S_OK, "I8:-9223372036854775808"},
        Conversion{[] { return Var::text(u"1e999"); }, VT_R8, DISP_E_OVERFLOW, ""},
        Conversion{[] { return Var::text(u"12abc"); }, VT_I4, DISP_E_TYPEMISMATCH, ""},
        Conversion{[] { return Var::text(u""); }, VT_I4, DISP_E_TYPEMISMATCH, ""},
        Conversion{[] { return Var::text(u"nan"); }, VT_R8, DISP_E_TYPEMISMATCH, ""},
        Conversion{[] { return Var::text(u"True"); }, VT_BOOL, S_OK, "BOOL:-1"},
        Conversion{[] { return Var::text(u"false"); }, VT_BOOL, S_OK, "BOOL:0"},
        Conversion{[] { return Var::text(u"true"); }, VT_I4, DISP_E_TYPEMISMATCH, ""},
        Conversion{[] { return Var(); }, VT_I4, S_OK, "I4:0"},
        Conversion{[] { return Var(); }, VT_BSTR, S_OK, "BSTR:"},
        Conversion{[] { Var v; v.vt = VT_NULL; return v; }, VT_I4, DISP_E_TYPEMISMATCH, ""},
        Conversion{[] { return Var::of<SCODE>(VT_ERROR, E_FAIL); }, VT_I4, DISP_E_TYPEMISMATCH, ""},
        Conversion{[] { return Var(1); }, VT_ARRAY | VT_I4, DISP_E_TYPEMISMATCH, ""},
        Conversion{[] { return Var(1); }, VT_BYREF | VT_I4, DISP_E_BADVARTYPE, ""},
        Conversion{[] { return Var(1); }, VT_VARIANT, DISP_E_BADVARTYPE, ""},
        Conversion{[] { return Var(1); }, VT_DISPATCH, DISP_E_TYPEMISMATCH, ""}),
    [](const ::testing::TestParamInfo<Conversion>& info) { return "Case" + std::to_string(info.index); });

TEST(Variant, ChangeTypeDereferencesAndConvertsInPlace) {
    SHORT value = -3;
    Var ref;
    ref.vt = VT_BYREF | VT_I2;
    ref.piVal = &value;
    Var dst;
    ASSERT_EQ(VariantChangeType(&dst, &ref, 0, VT_BSTR), S_OK);
    EXPECT_EQ(describe(dst), "BSTR:-3");
    ASSERT_EQ(VariantChangeType(&dst, &dst, 0, VT_I4), S_OK);
    EXPECT_EQ(describe(dst), "I4:-3");
}

TEST(Variant, ChangeTypeOfObjects) {
    FakeObject dispatch(true, 99), plain(false);
    Var d;
    d.vt = VT_DISPATCH;
    d.pdispVal = &dispatch;
    dispatch.AddRef();
    Var u;
    u.vt = VT_UNKNOWN;
    u.punkVal = &plain;
    plain.AddRef();

    Var out;
    ASSERT_EQ(VariantChangeType(&out, &d, 0, VT_UNKNOWN), S_OK);
    EXPECT_EQ(out.punkVal, static_cast<IUnknown*>(&dispatch));
    EXPECT_EQ(dispatch.refs(), 3u);
    EXPECT_EQ(VariantChangeType(&out, &u, 0, VT_DISPATCH), DISP_E_TYPEMISMATCH);

    // A value from an object is its default member's value, unless the caller forbids that.
    ASSERT_EQ(VariantChangeType(&out, &d, 0, VT_BSTR), S_OK);
    EXPECT_EQ(describe(out), "BSTR:99");
    EXPECT_EQ(VariantChangeType(&out, &d, VARIANT_NOVALUEPROP, VT_I4), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(VariantChangeType(&out, &u, 0, VT_I4), DISP_E_TYPEMISMATCH);
    VariantClear(&out);
    VariantClear(&d);
    VariantClear(&u);
    EXPECT_EQ(dispatch.refs(), 1u);
    EXPECT_EQ(plain.refs(), 1u);
}

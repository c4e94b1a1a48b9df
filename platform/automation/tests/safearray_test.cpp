#include <gtest/gtest.h>

#include <thread>

#include "test_support.h"

namespace {
struct ArrayFree {
    void operator()(SAFEARRAY* a) const { EXPECT_EQ(SafeArrayDestroy(a), S_OK); }
};
using Array = std::unique_ptr<SAFEARRAY, ArrayFree>;
}  // namespace

TEST(SafeArray, ElementSizesAndTypes) {
    const std::pair<VARTYPE, UINT> cases[] = {{VT_UI1, 1}, {VT_I2, 2}, {VT_I4, 4}, {VT_BSTR, sizeof(BSTR)},
                                              {VT_VARIANT, sizeof(VARIANT)}, {VT_DISPATCH, sizeof(void*)},
                                              {VT_UNKNOWN, sizeof(void*)}};
    for (auto [vt, size] : cases) {
        Array a(SafeArrayCreateVector(vt, 0, 2));
        ASSERT_TRUE(a) << vt;
        EXPECT_EQ(SafeArrayGetElemsize(a.get()), size);
        VARTYPE got = 0;
        EXPECT_EQ(SafeArrayGetVartype(a.get(), &got), S_OK);
        EXPECT_EQ(got, vt);
    }
    EXPECT_EQ(SafeArrayCreateVector(VT_EMPTY, 0, 1), nullptr);
    EXPECT_EQ(SafeArrayCreateVector(VT_BYREF | VT_I4, 0, 1), nullptr);
    SAFEARRAYBOUND two[2] = {{1, 0}, {1, 0}};
    EXPECT_EQ(SafeArrayCreate(VT_I4, 2, two), nullptr);
}

TEST(SafeArray, BoundsAndIndexing) {
    Array a(SafeArrayCreateVector(VT_I4, 5, 3));  // indices 5, 6, 7
    LONG lo = 0, hi = 0;
    ASSERT_EQ(SafeArrayGetLBound(a.get(), 1, &lo), S_OK);
    ASSERT_EQ(SafeArrayGetUBound(a.get(), 1, &hi), S_OK);
    EXPECT_EQ(lo, 5);
    EXPECT_EQ(hi, 7);
    EXPECT_EQ(SafeArrayGetLBound(a.get(), 2, &lo), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayGetDim(a.get()), 1u);

    for (LONG i = 5; i <= 7; ++i) {
        LONG v = i * 100;
        ASSERT_EQ(SafeArrayPutElement(a.get(), &i, &v), S_OK);
    }
    LONG idx = 6, v = 0;
    ASSERT_EQ(SafeArrayGetElement(a.get(), &idx, &v), S_OK);
    EXPECT_EQ(v, 600);
    for (LONG bad : {4, 8, LONG(0x80000000)}) {
        EXPECT_EQ(SafeArrayGetElement(a.get(), &bad, &v), DISP_E_BADINDEX) << bad;
        EXPECT_EQ(SafeArrayPutElement(a.get(), &bad, &v), DISP_E_BADINDEX) << bad;
    }
    EXPECT_EQ(v, 600);

    Array empty(SafeArrayCreateVector(VT_UI1, 0, 0));
    ASSERT_EQ(SafeArrayGetUBound(empty.get(), 1, &hi), S_OK);
    EXPECT_EQ(hi, -1);
}

TEST(SafeArray, OwnsTextsAndReferences) {
    Array texts(SafeArrayCreateVector(VT_BSTR, 0, 2));
    LONG i = 1;
    {
        Bstr b = bstr(u"FD43");
        ASSERT_EQ(SafeArrayPutElement(texts.get(), &i, b.get()), S_OK);  // the array keeps a copy
    }
    Bstr replaced = bstr(u"FDC1");
    ASSERT_EQ(SafeArrayPutElement(texts.get(), &i, replaced.get()), S_OK);  // the old copy is freed
    BSTR out = nullptr;
    ASSERT_EQ(SafeArrayGetElement(texts.get(), &i, &out), S_OK);
    EXPECT_EQ(text(out), u"FDC1");
    EXPECT_NE(out, replaced.get());
    SysFreeString(out);

    FakeObject obj;
    {
        Array objects(SafeArrayCreateVector(VT_DISPATCH, 0, 1));
        Array variants(SafeArrayCreateVector(VT_VARIANT, 0, 1));
        LONG zero = 0;
        ASSERT_EQ(SafeArrayPutElement(objects.get(), &zero, static_cast<IDispatch*>(&obj)), S_OK);
        Var v;
        v.vt = VT_DISPATCH;
        v.pdispVal = &obj;
        obj.AddRef();
        ASSERT_EQ(SafeArrayPutElement(variants.get(), &zero, &v), S_OK);
        EXPECT_EQ(obj.refs(), 4u);

        SAFEARRAY* copy = nullptr;
        ASSERT_EQ(SafeArrayCopy(variants.get(), &copy), S_OK);
        EXPECT_EQ(obj.refs(), 5u);
        EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
    }
    EXPECT_EQ(obj.refs(), 1u);
}

TEST(SafeArray, LockingProtectsTheData) {
    SAFEARRAY* a = SafeArrayCreateVector(VT_UI1, 0, 4);
    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(a, &data), S_OK);
    EXPECT_EQ(data, a->pvData);
    static_cast<BYTE*>(data)[3] = 0xAB;
    EXPECT_EQ(SafeArrayDestroy(a), DISP_E_ARRAYISLOCKED);
    ASSERT_EQ(SafeArrayUnaccessData(a), S_OK);
    EXPECT_EQ(SafeArrayUnlock(a), E_UNEXPECTED);
    LONG i = 3;
    BYTE b = 0;
    ASSERT_EQ(SafeArrayGetElement(a, &i, &b), S_OK);
    EXPECT_EQ(b, 0xAB);
    EXPECT_EQ(SafeArrayDestroy(a), S_OK);
    EXPECT_EQ(SafeArrayDestroy(nullptr), S_OK);
}

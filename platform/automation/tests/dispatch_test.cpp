#include <gtest/gtest.h>

#include <vector>

#include "test_object.h"
#include "test_support.h"

namespace {

// Calls a member of a fresh TestObj through IDispatch::Invoke; arguments in call order.
class DispatchTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(oleaut::createObject<TestObj>(IID_IDispatch, obj.putVoid()), S_OK); }

    DISPID id(const char16_t* name) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        DISPID d = DISPID_UNKNOWN;
        EXPECT_EQ(obj->GetIDsOfNames(GUID_NULL, names, 1, LOCALE_USER_DEFAULT, &d), S_OK) << "no member";
        return d;
    }
    HRESULT call(DISPID member, WORD flags, std::vector<VARIANT*> args, VARIANT* result = nullptr) {
        std::vector<VARIANT> reversed;
        for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(**it);
        DISPPARAMS dp{reversed.data(), nullptr, UINT(reversed.size()), 0};
        argErr = 12345;
        return obj->Invoke(member, GUID_NULL, LOCALE_USER_DEFAULT, flags, &dp, result, &excep, &argErr);
    }
    HRESULT call(const char16_t* name, std::vector<VARIANT*> args, VARIANT* result = nullptr) {
        return call(id(name), DISPATCH_METHOD | DISPATCH_PROPERTYGET, std::move(args), result);
    }
    void TearDown() override {
        SysFreeString(excep.bstrSource);
        SysFreeString(excep.bstrDescription);
        SysFreeString(excep.bstrHelpFile);
    }

    ComPtr<IDispatch> obj;
    EXCEPINFO excep{};
    UINT argErr = 0;
};

}  // namespace

TEST(DispatchTable, DispatchIdsInSlotOrderWithPropertiesSharingOne) {
    const oleaut::InterfaceDesc& t = TestObj::dispatchTable();
    const std::vector<std::pair<std::u16string, DISPID>> expected = {
        {u"Add", 1}, {u"Name", 2}, {u"Name", 2}, {u"Split", 3}, {u"Check", 4}, {u"Fail", 5},
        {u"Item", DISPID_VALUE}, {u"_NewEnum", DISPID_NEWENUM}, {u"_SetFlag", 6}, {u"Ping", 7}};
    ASSERT_EQ(t.members.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(t.members[i].name, expected[i].first);
        EXPECT_EQ(t.members[i].dispid, expected[i].second) << i;
    }
    EXPECT_EQ(t.find(2, INVOKE_PROPERTYPUT), &t.members[2]);
    EXPECT_EQ(t.find(2, INVOKE_FUNC), nullptr);
    EXPECT_EQ(t.dispidOf(u"sPLIT"), 3);
    EXPECT_EQ(t.dispidOf(u"Nothing"), DISPID_UNKNOWN);

    // An id given in the table is never handed out again.
    oleaut::InterfaceDesc d{u"I", GUID_NULL, u"", 0, {}};
    d.members.resize(3);
    d.members[0].name = u"A";
    d.members[1].name = u"B";
    d.members[1].dispid = 2;
    d.members[2].name = u"C";
    d.assignDispids();
    EXPECT_EQ(d.members[0].dispid, 1);
    EXPECT_EQ(d.members[2].dispid, 3);
}

TEST_F(DispatchTest, NamesResolveWithoutCase) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(u"aDD"), const_cast<LPOLESTR>(u"B"), const_cast<LPOLESTR>(u"zz")};
    DISPID ids[3] = {};
    EXPECT_EQ(obj->GetIDsOfNames(GUID_NULL, names, 2, 0, ids), S_OK);
    EXPECT_EQ(ids[0], 1);
    EXPECT_EQ(ids[1], 1);  // the parameter's position
    EXPECT_EQ(obj->GetIDsOfNames(GUID_NULL, names, 3, 0, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[2], DISPID_UNKNOWN);
    LPOLESTR unknown[] = {const_cast<LPOLESTR>(u"Frobnicate")};
    EXPECT_EQ(obj->GetIDsOfNames(GUID_NULL, unknown, 1, 0, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], DISPID_UNKNOWN);
}

TEST_F(DispatchTest, InArgumentsAreCoercedAndTheRetvalReturned) {
    Var a(40), b = Var::text(u" 2"), result;
    ASSERT_EQ(call(u"Add", {&a, &b}, &result), S_OK);
    EXPECT_EQ(describe(result), "I4:42");

    // The retval passed by reference by the caller receives the value instead.
    LONG sum = 0;
    Var ref;
    ref.vt = VT_BYREF | VT_I4;
    ref.plVal = &sum;
    ASSERT_EQ(call(u"Add", {&a, &a, &ref}, &result), S_OK);
    EXPECT_EQ(sum, 80);
    EXPECT_EQ(result.vt, VT_EMPTY);
}

TEST_F(DispatchTest, OutArgumentsByReference) {
    Var value(0x00012345);
    SHORT low = 0;
    Var high, lowRef, highRef;
    highRef.vt = VT_BYREF | VT_VARIANT;  // a variant reference takes any type
    highRef.pvarVal = &high;
    lowRef.vt = VT_BYREF | VT_I2;
    lowRef.piVal = &low;
    ASSERT_EQ(call(u"Split", {&value, &highRef, &lowRef}), S_OK);
    EXPECT_EQ(describe(high), "I2:1");
    EXPECT_EQ(low, 0x2345);

    // A reference of another type, or no reference at all, is refused before the member runs.
    Var wrongRef;
    LONG wide = 0;
    wrongRef.vt = VT_BYREF | VT_I4;
    wrongRef.plVal = &wide;
    EXPECT_EQ(call(u"Split", {&value, &wrongRef, &lowRef}), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 1u);  // positions count in DISPPARAMS order, the last argument first
    Var plain(5);
    EXPECT_EQ(call(u"Split", {&value, &highRef, &plain}), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 0u);
}

TEST_F(DispatchTest, TextsComeBackByReferenceReplacingTheOldValue) {
    BSTR name = SysAllocString(u"old");
    Var ref;
    ref.vt = VT_BYREF | VT_BSTR;
    ref.pbstrVal = &name;
    ASSERT_EQ(call(id(u"Name"), DISPATCH_PROPERTYGET, {&ref}), S_OK);  // "old" is released
    EXPECT_EQ(text(name), u"unnamed");
    SysFreeString(name);
}

TEST_F(DispatchTest, SuccessStatusesPassThrough) {
    Var negative(-5), positive(5), result;
    ASSERT_EQ(call(u"Check", {&negative}, &result), S_FALSE);
    EXPECT_EQ(describe(result), "I4:0");
    ASSERT_EQ(call(u"Check", {&positive}, &result), S_OK);
    EXPECT_EQ(describe(result), "I4:1");
}

TEST_F(DispatchTest, FailureFillsExcepInfoFromTheErrorObject) {
    Var why = Var::text(u"boom");
    ASSERT_EQ(call(u"Fail", {&why}), DISP_E_EXCEPTION);
    EXPECT_EQ(excep.scode, E_FAIL);
    EXPECT_EQ(text(excep.bstrDescription), u"ITestObj : boom");
    EXPECT_EQ(text(excep.bstrSource), u"OleautTest.TestObj.1");
    ComPtr<IErrorInfo> current;  // still the thread's error object
    EXPECT_EQ(GetErrorInfo(0, current.put()), S_OK);

    DISPPARAMS dp{&why, nullptr, 1, 0};
    EXPECT_EQ(obj->Invoke(id(u"Fail"), GUID_NULL, 0, DISPATCH_METHOD, &dp, nullptr, nullptr, nullptr), E_FAIL);
}

TEST_F(DispatchTest, StaleErrorObjectIsNotReportedForALaterFailure) {
    oleaut::setErrorInfo(u"left over", u"elsewhere", GUID_NULL);
    Var none = Var::text(u"");  // Fail without a text sets no error object
    ASSERT_EQ(call(u"Fail", {&none}), DISP_E_EXCEPTION);
    EXPECT_EQ(excep.scode, E_FAIL);
    EXPECT_EQ(excep.bstrDescription, nullptr);
    EXPECT_EQ(excep.bstrSource, nullptr);

    Var index = Var::text(u"x"), result;
    ASSERT_EQ(call(DISPID_VALUE, DISPATCH_PROPERTYGET, {&index}, &result), DISP_E_EXCEPTION);
    EXPECT_EQ(excep.scode, E_INVALIDARG);
}

TEST_F(DispatchTest, ArgumentErrorsNameTheArgument) {
    Var one(1), bad = Var::text(u"twelve"), big(300), result;
    EXPECT_EQ(call(u"Add", {&one, &bad}, &result), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 0u);
    EXPECT_EQ(call(u"Add", {&bad, &one}, &result), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 1u);
    EXPECT_EQ(call(u"_SetFlag", {&one, &big}), DISP_E_OVERFLOW);
    EXPECT_EQ(argErr, 0u);
    EXPECT_EQ(call(u"Add", {&one}, &result), DISP_E_PARAMNOTOPTIONAL);
    EXPECT_EQ(call(u"Add", {&one, &one, &one, &one}, &result), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(argErr, 12345u);  // no single argument to blame

    ASSERT_EQ(call(u"_SetFlag", {&one, &one}), S_OK);
    auto* t = static_cast<TestObj*>(static_cast<ITestObj*>(obj.get()));
    EXPECT_EQ(t->flag, 1);
    EXPECT_EQ(t->code, 1);
}

TEST_F(DispatchTest, PropertyPutNeedsItsNamedArgument) {
    Var value = Var::text(u"Birch");
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS put{&value, &named, 1, 1};
    ASSERT_EQ(obj->Invoke(id(u"Name"), GUID_NULL, 0, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr, nullptr), S_OK);
    Var result;
    ASSERT_EQ(call(id(u"name"), DISPATCH_PROPERTYGET, {}, &result), S_OK);
    EXPECT_EQ(describe(result), "BSTR:Birch");

    DISPPARAMS unnamed{&value, nullptr, 1, 0};
    EXPECT_EQ(obj->Invoke(id(u"Name"), GUID_NULL, 0, DISPATCH_PROPERTYPUT, &unnamed, nullptr, nullptr, nullptr),
              DISP_E_PARAMNOTFOUND);
    EXPECT_EQ(obj->Invoke(id(u"Add"), GUID_NULL, 0, DISPATCH_METHOD, &put, nullptr, nullptr, nullptr),
              DISP_E_NONAMEDARGS);
}

TEST_F(DispatchTest, FlagsSelectTheMember) {
    Var result;
    EXPECT_EQ(call(id(u"Name"), DISPATCH_METHOD, {}, &result), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(call(id(u"Add"), DISPATCH_PROPERTYGET, {}, &result), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(call(99, DISPATCH_METHOD, {}, &result), DISP_E_MEMBERNOTFOUND);
    Var one(1);
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS put{&one, &named, 1, 1};
    EXPECT_EQ(obj->Invoke(id(u"Add"), GUID_NULL, 0, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
}

TEST_F(DispatchTest, CollectionMembers) {
    Var index = Var::of<SHORT>(VT_I2, 3), result;
    ASSERT_EQ(call(DISPID_VALUE, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {&index}, &result), S_OK);
    EXPECT_EQ(describe(result), "I4:30");

    ASSERT_EQ(call(DISPID_NEWENUM, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, &result), S_OK);
    ASSERT_EQ(result.vt, VT_UNKNOWN);
    ComPtr<IEnumVARIANT> e = ComPtr<IUnknown>(result.punkVal).as<IEnumVARIANT>();
    ASSERT_TRUE(e);
    Var first;
    EXPECT_EQ(e->Next(1, &first, nullptr), S_OK);
    EXPECT_EQ(describe(first), "I4:1");
}

TEST(DispatchTable, EventMembersCannotBeInvoked) {
    FakeObject target;
    EXPECT_EQ(oleaut::dispatchInvoke(TestObj::eventTable(), &target, DISPID_Pinged, DISPATCH_METHOD, nullptr,
                                     nullptr, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
    const oleaut::MemberDesc& pinged = TestObj::eventTable().members[0];
    EXPECT_EQ(pinged.invoke, nullptr);
    EXPECT_EQ(pinged.params.size(), 1u);
}

// The component as a script sees it on the default bench: the registered component's Adapters
// collection, an adapter opened, and the Vireo object and its sub-objects driven by name through
// IDispatch.
#include "adapter_fixture.h"
#include "component_fixture.h"

namespace direzo::testing {
namespace {

class ScriptPath : public ComponentTest {
protected:
    void SetUp() override {
        adapter = ComponentTest::adapter(u"0002");  // the Birch B adapter
        ASSERT_TRUE(adapter);
        LONG opened = 0;
        ASSERT_EQ(adapter->Open(&opened), S_OK);
        ASSERT_EQ(opened, 1);
        vireo = object(adapter.get(), u"Vireo");
        ASSERT_TRUE(vireo);
    }
    // A property holding an object.
    static ComPtr<IDispatch> object(IDispatch* from, std::u16string_view name, std::vector<VARIANT> args = {}) {
        Var result;
        EXPECT_EQ(invoke(from, name, DISPATCH_PROPERTYGET, std::move(args), &result.v), S_OK) << "get object";
        if (result.v.vt != VT_DISPATCH) return {};
        return ComPtr<IDispatch>(result.v.pdispVal);
    }
    static LONG number(IDispatch* from, std::u16string_view name, WORD flags, std::vector<VARIANT> args = {}) {
        Var result;
        EXPECT_EQ(invoke(from, name, flags, std::move(args), &result.v), S_OK);
        Var converted;
        EXPECT_EQ(VariantChangeType(&converted.v, &result.v, 0, VT_I4), S_OK);
        return converted.v.lVal;
    }

    ComPtr<IAdapter> adapter;
    ComPtr<IDispatch> vireo;
};

TEST_F(ScriptPath, RecordsFollowTheChannelAndKeepWhatIsWritten) {
    Var ignored;
    ASSERT_EQ(invoke(vireo.get(), u"SetChannel", DISPATCH_METHOD, {intIndex(9)}, &ignored.v), S_OK);
    ComPtr<IDispatch> rids = object(vireo.get(), u"RIDs");
    Text channelKey(u"fdc1");
    ComPtr<IDispatch> channel = object(rids.get(), u"Item", {keyIndex(channelKey)});
    ASSERT_TRUE(channel);
    EXPECT_EQ(number(channel.get(), u"GetAsInteger", DISPATCH_METHOD, {intIndex(1)}), 9);
    EXPECT_EQ(bench().device("0002")->controllerState().channel, 9);

    ComPtr<IDispatch> fc00 = object(rids.get(), u"Item", {intIndex(1)});
    ASSERT_EQ(invoke(fc00.get(), u"SetAsInteger", DISPATCH_METHOD, {intIndex(1), intIndex(4)}, &ignored.v), S_OK);
    EXPECT_EQ(number(fc00.get(), u"GetAsInteger", DISPATCH_METHOD, {intIndex(1)}), 4);
    EXPECT_EQ(bench().device("0002")->record(0xFC00).value_or(std::vector<WORD>{}), std::vector<WORD>{4});
}

TEST_F(ScriptPath, ContinuousTransmitCountsFrames) {
    Var ignored;
    ComPtr<IDispatch> tallies = object(vireo.get(), u"Tallies");
    ASSERT_EQ(invoke(tallies.get(), u"Refresh", DISPATCH_METHOD, {}, &ignored.v), S_OK);
    const LONG before = number(tallies.get(), u"txUnicast", DISPATCH_PROPERTYGET);
    ASSERT_EQ(invoke(vireo.get(), u"ContinuousTx", DISPATCH_METHOD, {intIndex(0x5A5A)}, &ignored.v), S_OK);
    EXPECT_EQ(bench().device("0002")->controllerState().pattern, 0x5A5A);
    bench().clock().advance(std::chrono::milliseconds(500));
    EXPECT_EQ(number(tallies.get(), u"txUnicast", DISPATCH_PROPERTYGET), before);  // the snapshot holds
    EXPECT_EQ(number(tallies.get(), u"Refresh", DISPATCH_METHOD), 1);
    EXPECT_GT(number(tallies.get(), u"txUnicast", DISPATCH_PROPERTYGET), before);
}

TEST_F(ScriptPath, BasebandRegistersOfTheOpenedModel) {
    ComPtr<IDispatch> regs = object(vireo.get(), u"BBPRegs");
    EXPECT_EQ(number(regs.get(), u"BBPType", DISPATCH_PROPERTYGET), BBP_BIRCH_B);
    Text name(u"sr3");
    ComPtr<IDispatch> sr3 = object(regs.get(), u"Item", {keyIndex(name)});
    Var ignored;
    ASSERT_EQ(invoke(sr3.get(), u"Value", DISPATCH_PROPERTYPUT, {intIndex(0x42)}, &ignored.v), S_OK);
    EXPECT_EQ(number(sr3.get(), u"Value", DISPATCH_PROPERTYGET), 0x42);
    EXPECT_EQ(bench().device("0002")->basebandRegister("SR3"), std::optional<WORD>(0x42));
}

// A failure status reaches the script as an exception carrying the class's text and source.
TEST_F(ScriptPath, FailuresCarryTheirText) {
    ComPtr<IDispatch> regs = object(vireo.get(), u"BBPRegs");
    Text name(u"CR99");
    std::u16string text(u"Item");
    LPOLESTR names = text.data();
    DISPID id = 0;
    ASSERT_EQ(regs->GetIDsOfNames(IID{}, &names, 1, 0, &id), S_OK);
    VARIANT arg = keyIndex(name);
    DISPPARAMS params{&arg, nullptr, 1, 0};
    Var result;
    EXCEPINFO excep{};
    EXPECT_EQ(regs->Invoke(id, IID{}, 0, DISPATCH_PROPERTYGET, &params, &result.v, &excep, nullptr), DISP_E_EXCEPTION);
    const std::u16string description(excep.bstrDescription, SysStringLen(excep.bstrDescription));
    const std::u16string source(excep.bstrSource, SysStringLen(excep.bstrSource));
    EXPECT_EQ(description, u"IBBPREGS : Key CR99 not found ");
    EXPECT_EQ(source, u"OruDirEzo.BBPRegs.1");
    EXPECT_EQ(excep.scode, E_INVALIDARG);
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrHelpFile);
}

// Objects made by ProgID hold no session until one is handed over, and say so; nothing reaches a
// driver.
using Activation = ComponentTest;

TEST_F(Activation, ObjectsMadeByProgIdHaveNoSession) {
    const std::vector<std::pair<const char16_t*, const char16_t*>> calls{
        {u"OruDirEzo.Vireo", u"InitPhy"}, {u"OruDirEzo.Tallies", u"Refresh"},
        {u"OruDirEzo.Rids", u"_SetApiObj"}, {u"OruDirEzo.BBPRegs", u"_SetApiObj"}};
    for (const auto& [progId, member] : calls) {
        ComPtr<IDispatch> object = create<IDispatch>(progId);
        ASSERT_TRUE(object);
        Var result;
        std::vector<VARIANT> args;
        if (std::u16string_view(member) == u"_SetApiObj") args.push_back(intIndex(12345));
        EXPECT_EQ(invoke(object.get(), member, DISPATCH_METHOD, args, &result.v), S_FALSE);
        EXPECT_EQ(takeErrorText(), u"No Adapter Object Reference");
    }
    EXPECT_TRUE(bench().journal().entries().empty());
}

}  // namespace
}  // namespace direzo::testing

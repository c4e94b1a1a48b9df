// The Adapters collection and Adapter objects, reached by ProgID as a client reaches them.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "common/text.h"
#include "component_fixture.h"
#include "direzo/vireo.h"

namespace direzo::testing {
namespace {

std::u16string text(IAdapter& adapter, HRESULT (IAdapter::*getter)(BSTR*)) {
    BSTR b = nullptr;
    EXPECT_EQ((adapter.*getter)(&b), S_OK);
    std::u16string s = fromBstr(b);
    SysFreeString(b);
    return s;
}

LONG value(IAdapter& adapter, HRESULT (IAdapter::*getter)(LONG*)) {
    LONG v = -1;
    EXPECT_EQ((adapter.*getter)(&v), S_OK);
    return v;
}

class AdaptersTest : public ComponentTest {
protected:
    explicit AdaptersTest(std::optional<std::string> benchJson = std::nullopt) : ComponentTest(benchJson) {}
    // The installed adapters in key order.
    std::vector<vireo::sim::AdapterSpec> installed() {
        auto adapters = benchSpec().adapters;
        std::sort(adapters.begin(), adapters.end(), [](const auto& x, const auto& y) { return x.key < y.key; });
        return adapters;
    }
    vireo::sim::AdapterSpec firstOf(bool vireo) {
        for (const auto& a : installed())
            if (a.vireo == vireo) return a;
        ADD_FAILURE() << "the bench has no such adapter";
        return {};
    }
};

TEST_F(AdaptersTest, BothProgIdsCreateTheCollectionOfInstalledAdapters) {
    for (const char16_t* progId : {u"OruDirEzo.Adapters", u"OruDirEzo.Adapters.1"}) {
        HRESULT hr = E_FAIL;
        auto adapters = create<IAdapters>(progId, &hr);
        ASSERT_EQ(hr, S_OK);
        LONG count = 0;
        EXPECT_EQ(adapters->get_Count(&count), S_OK);
        EXPECT_EQ(count, LONG(installed().size()));
    }
}

TEST_F(AdaptersTest, ItemByPositionIsInKeyOrderAndEnumerationMatches) {
    auto adapters = this->adapters();
    const auto expected = installed();
    ComPtr<IUnknown> unknown;
    ASSERT_EQ(adapters->get__NewEnum(unknown.put()), S_OK);
    auto enumerator = unknown.as<IEnumVARIANT>();
    ASSERT_TRUE(enumerator);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        ComPtr<IAdapter> item;
        VARIANT index = variantOf(LONG(i + 1));
        ASSERT_EQ(adapters->get_Item(index, item.put()), S_OK);
        EXPECT_EQ(toAnsi(text(*item, &IAdapter::get_Enumerator)), expected[i].key);

        VARIANT next;
        VariantInit(&next);
        ULONG fetched = 0;
        ASSERT_EQ(enumerator->Next(1, &next, &fetched), S_OK);
        ASSERT_EQ(next.vt, VT_DISPATCH);
        auto enumerated = ComPtr<IDispatch>(next.pdispVal).as<IAdapter>();
        EXPECT_EQ(enumerated.get(), item.get());
        VariantClear(&next);
    }
}

TEST_F(AdaptersTest, ItemFailuresCarryTheirTexts) {
    auto adapters = this->adapters();
    LONG count = 0;
    adapters->get_Count(&count);
    const std::string key = installed().front().key;
    std::string wrongCase = key + "x";
    for (auto& c : wrongCase) c = char(std::isupper(c) ? std::tolower(c) : std::toupper(c));

    VARIANT real;
    VariantInit(&real);
    real.vt = VT_R8;
    real.dblVal = 1.0;
    VARIANT nullText;
    VariantInit(&nullText);
    nullText.vt = VT_BSTR;
    VARIANT shortIndex;
    VariantInit(&shortIndex);
    shortIndex.vt = VT_I2;
    shortIndex.iVal = 0;

    struct Case {
        VARIANT index;
        std::string description;
    };
    const std::u16string wrongKey = fromAnsi(wrongCase);
    std::vector<Case> cases{
        {variantOf(0), "IAdapters : Index 0 not found or is an invalid index"},
        {variantOf(count + 1), "IAdapters : Index " + std::to_string(count + 1) + " not found or is an invalid index"},
        {shortIndex, "IAdapters : Index 0 not found or is an invalid index"},
        {variantOf(wrongKey.c_str()), "IAdapters : Key " + wrongCase + " not found "},
        {real, "IAdapters : Index VT_R8 argument type unknown"},
        {nullText, "IAdapters : Index VT_BSTR (null) argument type unknown"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.description);
        ComPtr<IAdapter> item;
        EXPECT_EQ(adapters->get_Item(c.index, item.put()), E_INVALIDARG);
        EXPECT_FALSE(item);
        auto error = takeError();
        ASSERT_TRUE(error);
        EXPECT_EQ(toAnsi(error->description), c.description);
        EXPECT_EQ(error->source, u"OruDirEzo.Adapters.1");
        VariantClear(&c.index);
    }
}

TEST_F(AdaptersTest, TextsComeFromTheRegistry) {
    const auto first = firstOf(true);
    auto adapter = this->adapter(fromAnsi(first.key).c_str());
    ASSERT_TRUE(adapter);
    EXPECT_EQ(text(*adapter, &IAdapter::get_ProductName), u"Unknown");
    EXPECT_EQ(text(*adapter, &IAdapter::get_SymbolicLink), u"Unknown");
    EXPECT_EQ(toAnsi(text(*adapter, &IAdapter::get_ServiceName)), first.service);
    EXPECT_EQ(toAnsi(text(*adapter, &IAdapter::get_Description)), first.driverDesc);
    EXPECT_EQ(toAnsi(text(*adapter, &IAdapter::get_Title)), first.title);
    EXPECT_EQ(toAnsi(text(*adapter, &IAdapter::get_Label)), first.title);
    EXPECT_EQ(toAnsi(text(*adapter, &IAdapter::get_Enumerator)), first.key);
}

TEST_F(AdaptersTest, OpeningAVireoAdapterGivesAVireoObject) {
    auto adapter = this->adapter(fromAnsi(firstOf(true).key).c_str());
    ASSERT_TRUE(adapter);
    LONG opened = 0;
    EXPECT_EQ(adapter->Open(&opened), S_OK);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(value(*adapter, &IAdapter::get_IsOpen), 1);
    EXPECT_EQ(value(*adapter, &IAdapter::get_IsVela), 1);
    EXPECT_EQ(value(*adapter, &IAdapter::get_IsOpen), 1);  // the probe reopened it
    ComPtr<IDispatch> vireo;
    EXPECT_EQ(adapter->get_Vireo(vireo.put()), S_OK);
    ASSERT_TRUE(vireo);
    EXPECT_TRUE(vireo.as<IVireo>());

    EXPECT_EQ(adapter->Close(), S_OK);
    EXPECT_EQ(value(*adapter, &IAdapter::get_IsOpen), 0);
    ComPtr<IDispatch> none;
    EXPECT_EQ(adapter->get_Vireo(none.put()), S_OK);
    EXPECT_FALSE(none);
}

TEST_F(AdaptersTest, OtherAdapterOpensWithoutAVireoObject) {
    auto adapter = this->adapter(fromAnsi(firstOf(false).key).c_str());
    ASSERT_TRUE(adapter);
    LONG opened = 0;
    adapter->Open(&opened);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(value(*adapter, &IAdapter::get_IsVela), 0);
    ComPtr<IDispatch> vireo;
    adapter->get_Vireo(vireo.put());
    EXPECT_FALSE(vireo);
}

TEST_F(AdaptersTest, IsVelaOnAClosedAdapterLeavesItClosed) {
    auto adapter = this->adapter(fromAnsi(firstOf(true).key).c_str());
    EXPECT_EQ(value(*adapter, &IAdapter::get_IsVela), 1);
    EXPECT_EQ(value(*adapter, &IAdapter::get_IsOpen), 0);
    bench().journal().clear();
    LONG ignored = 0;
    EXPECT_EQ(adapter->get_DriverVersion(&ignored), S_FALSE);  // closed: nothing reaches the driver
    EXPECT_EQ(bench().journal().size(), 0u);
}

TEST_F(AdaptersTest, DriverVersionIsTheBenchValue) {
    const auto first = firstOf(true);
    auto adapter = this->adapter(fromAnsi(first.key).c_str());
    LONG opened = 0;
    adapter->Open(&opened);
    LONG version = 0;
    EXPECT_EQ(adapter->get_DriverVersion(&version), S_OK);
    EXPECT_EQ(DWORD(version), first.driverVersion);
}

std::string benchRefusingDriverVersion() {
    nlohmann::json b = nlohmann::json::parse(vireo::sim::testing::defaultBenchJson());
    for (auto& a : b["adapters"]) a["quirks"]["refusedOids"] = nlohmann::json::array({"0x00010116"});
    return b.dump();
}

class RefusedDriverVersion : public AdaptersTest {
protected:
    RefusedDriverVersion() : AdaptersTest(benchRefusingDriverVersion()) {}
};

TEST_F(RefusedDriverVersion, ReportsStatusOneWithItsText) {
    auto adapter = this->adapter(fromAnsi(firstOf(true).key).c_str());
    LONG opened = 0;
    adapter->Open(&opened);
    ASSERT_EQ(opened, 1);
    LONG version = 0;
    EXPECT_EQ(adapter->get_DriverVersion(&version), S_FALSE);
    auto error = takeError();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->description, u"NDIS Status Failure !");
    EXPECT_EQ(error->source, u"OruDirEzo.Adapter.1");
}

}  // namespace
}  // namespace direzo::testing

// IBBPRegs and IBBPReg: model detection, the register lists per family, lookups and enumeration,
// and how each register is reached (Alder n x 4, Birch n x 2, shadow registers by index).
#include <set>

#include "adapter_fixture.h"
#include "baseband/bbp_reg.h"
#include "baseband/bbp_regs.h"
#include "direzo/subobjects.h"

namespace direzo::testing {
namespace {

using Commands = std::vector<std::vector<WORD>>;

class BBPRegsTest : public ::testing::Test {
protected:
    void open(const AdapterOptions& options = {}) {
        adapter.reset();
        adapter = std::make_unique<OpenAdapter>(options);
        ASSERT_EQ(oleaut::createObject<BBPRegs>(IBBPRegs::iid, regs.putVoid()), S_OK);
        ASSERT_EQ(regs->_SetApiObj(adapter->apiHandle()), S_OK);
        adapter->mark();
    }
    ComPtr<IBBPReg> item(VARIANT index) {
        ComPtr<IBBPReg> r;
        EXPECT_EQ(regs->get_Item(index, r.put()), S_OK);
        return r;
    }
    ComPtr<IBBPReg> named(std::u16string_view name) {
        Text key(name);
        return item(keyIndex(key));
    }
    static std::u16string idOf(IBBPReg* r) {
        Text id;
        if (r) r->get_Id(&id.b);
        return id.str();
    }
    LONG count() {
        LONG n = -1;
        regs->get_Count(&n);
        return n;
    }
    std::unique_ptr<OpenAdapter> adapter;
    ComPtr<IBBPRegs> regs;
};

struct FamilyCase {
    LONG model;
    LONG detected;  // BBPType
    LONG count;
    std::set<std::u16string> readOnly;
};
void PrintTo(const FamilyCase& c, std::ostream* os) { *os << "model " << c.model; }

class BBPRegsFamilies : public BBPRegsTest, public ::testing::WithParamInterface<FamilyCase> {};

TEST_P(BBPRegsFamilies, ListsTheFamilysRegistersWithTheirReadOnlySet) {
    const FamilyCase& c = GetParam();
    open(AdapterOptions().model(c.model));
    LONG type = 0;
    regs->get_BBPType(&type);
    EXPECT_EQ(type, c.detected);
    ASSERT_EQ(count(), c.count);
    std::set<std::u16string> readOnly;
    for (LONG i = 1; i <= c.count; ++i) {
        ComPtr<IBBPReg> r = item(intIndex(i));
        LONG t = -1;
        r->get_type(&t);
        if (t == 0) readOnly.insert(idOf(r.get()));
        else EXPECT_EQ(t, 1);
    }
    EXPECT_EQ(readOnly, c.readOnly);
}

std::set<std::u16string> birchReadOnly() {
    std::set<std::u16string> names{u"CR0"};
    for (int n = 50; n <= 63; ++n) {
        const std::string s = "CR" + std::to_string(n);
        names.insert(std::u16string(s.begin(), s.end()));
    }
    return names;
}

INSTANTIATE_TEST_SUITE_P(
    Models, BBPRegsFamilies,
    ::testing::Values(FamilyCase{BBP_ALDER, BBP_ALDER, 32, {u"CR0", u"CR24", u"CR25", u"CR26", u"CR27", u"CR29"}},
                      FamilyCase{BBP_BIRCH_S, BBP_BIRCH_S, 96, birchReadOnly()},
                      FamilyCase{BBP_BIRCH_A, BBP_BIRCH_A, 96, birchReadOnly()},
                      FamilyCase{BBP_BIRCH_B, BBP_BIRCH_B, 96, birchReadOnly()},
                      FamilyCase{BBP_CEDAR, BBP_CEDAR, 96, birchReadOnly()},
                      // The simulated adapter has no register file for an unknown model: detection fails.
                      FamilyCase{7, -1, 0, {}}));

TEST_F(BBPRegsTest, ItemOrderFollowsTheNameAndEnumerationReversesIt) {
    open(AdapterOptions().model(BBP_BIRCH_B));
    EXPECT_EQ(idOf(item(intIndex(1)).get()), u"CR0");
    EXPECT_EQ(idOf(item(intIndex(2)).get()), u"CR1");
    EXPECT_EQ(idOf(item(intIndex(3)).get()), u"CR10");
    EXPECT_EQ(idOf(item(intIndex(64)).get()), u"CR9");
    EXPECT_EQ(idOf(item(intIndex(65)).get()), u"SR0");
    EXPECT_EQ(idOf(named(u"cr5").get()), u"CR5");
    LONG no = -1;
    named(u"sr31")->get_No(&no);
    EXPECT_EQ(no, 31);

    IUnknown* e = nullptr;
    ASSERT_EQ(regs->get__NewEnum(&e), S_OK);
    const auto all = enumerate<IBBPReg>(e);
    ASSERT_EQ(all.size(), 96u);
    EXPECT_EQ(idOf(all.front().get()), u"SR9");
    EXPECT_EQ(idOf(all.back().get()), u"CR0");
    EXPECT_TRUE(adapter->requests().empty());  // listing reads no register
}

TEST_F(BBPRegsTest, ItemFailures) {
    open(AdapterOptions().model(BBP_ALDER));
    Text unknown(u"sr0");  // Alder has no shadow registers
    VARIANT none;
    VariantInit(&none);
    const std::vector<std::pair<VARIANT, std::u16string>> cases{
        {intIndex(0), u"IBBPREGS : Index 0 not found or is an invalid index"},
        {intIndex(33), u"IBBPREGS : Index 33 not found or is an invalid index"},
        {keyIndex(unknown), u"IBBPREGS : Key SR0 not found "},
        {none, u"IBBPREGS : Index VT_EMPTY argument type unknown"}};
    for (const auto& [index, text] : cases) {
        ComPtr<IBBPReg> r;
        EXPECT_EQ(regs->get_Item(index, r.put()), E_INVALIDARG);
        EXPECT_EQ(takeErrorText(), text);
    }
}

struct AccessCase {
    const char* name;
    LONG model;
    const char16_t* reg;
    Commands read;   // the commands of one Value read
    Commands write;  // the commands of Value = 0x5A
};
void PrintTo(const AccessCase& c, std::ostream* os) { *os << c.name; }

class BBPRegAccess : public BBPRegsTest, public ::testing::WithParamInterface<AccessCase> {};

TEST_P(BBPRegAccess, ReachesTheRegisterAndReadsBackWhatWasWritten) {
    const AccessCase& c = GetParam();
    open(AdapterOptions().model(c.model));
    ComPtr<IBBPReg> r = named(c.reg);
    adapter->mark();
    ASSERT_EQ(r->put_Value(0x5A), S_OK);
    EXPECT_EQ(adapter->commands(), c.write);
    adapter->mark();
    LONG value = -1;
    ASSERT_EQ(r->get_Value(&value), S_OK);
    EXPECT_EQ(adapter->commands(), c.read);
    EXPECT_EQ(value, 0x5A);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BBPRegAccess,
    ::testing::Values(
        AccessCase{"AlderCR5", BBP_ALDER, u"CR5", {{0x0030, 20, 0}}, {{0x0031, 20, 0x5A}}},
        AccessCase{"BirchCR5", BBP_BIRCH_B, u"CR5", {{0x0030, 10, 0}}, {{0x0031, 10, 0x5A}}},
        AccessCase{"CedarCR31", BBP_CEDAR, u"CR31", {{0x0030, 62, 0}}, {{0x0031, 62, 0x5A}}},
        AccessCase{"BirchSR3", BBP_BIRCH_B, u"SR3", {{0x0031, 0x2C, 0x23}, {0x0030, 0x2E, 0}},
                   {{0x0031, 0x2C, 0x23}, {0x0031, 0x2E, 0x5A}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BBPRegsTest, ControlRegisterZeroIsTheModel) {
    open(AdapterOptions().model(BBP_BIRCH_A));
    LONG value = -1;
    ASSERT_EQ(named(u"CR0")->get_Value(&value), S_OK);
    EXPECT_EQ(value, BBP_BIRCH_A);
}

// A shadow register's data is never written when its index could not be set.
TEST_F(BBPRegsTest, FailedCommandsFailTheAccess) {
    open();
    ComPtr<IBBPReg> sr3 = named(u"SR3");
    adapter.reset();
    adapter = std::make_unique<OpenAdapter>(AdapterOptions().refuse(OID_VIREO_COMMAND));
    sr3->_SetApiObj(adapter->apiHandle());
    LONG value = 0;
    EXPECT_EQ(sr3->get_Value(&value), E_FAIL);
    EXPECT_EQ(value, -1);
    EXPECT_EQ(takeErrorText(), u"IBBPREG: BBP Read fail");
    adapter->mark();
    EXPECT_EQ(sr3->put_Value(1), E_FAIL);
    EXPECT_EQ(takeErrorText(), u"IBBPREG: BBP Write fail");
    ASSERT_FALSE(adapter->commands().empty());
    for (const auto& command : adapter->commands())  // the index write (repeated as a set), nothing more
        EXPECT_EQ(command, (std::vector<WORD>{0x0031, 0x2C, 0x23}));
}

TEST_F(BBPRegsTest, ModelInNoFamilyNeverReachesTheAdapter) {
    open();
    auto* reg = new BBPReg();
    ComPtr<IBBPReg> r(reg);
    reg->describe({u"CR3", 3, false}, 7, adapter->apiHandle());
    LONG value = 0;
    EXPECT_EQ(r->get_Value(&value), E_FAIL);
    EXPECT_EQ(takeErrorText(), u"IBBPREG: BBP Read fail");
    EXPECT_EQ(r->put_Value(1), E_FAIL);
    EXPECT_EQ(takeErrorText(), u"IBBPREG: BBP Write fail");
    EXPECT_TRUE(adapter->requests().empty());
}

// A register value is 16 bits, read signed or unsigned; beyond that it is out of range (status 1)
// and nothing is sent.
TEST_F(BBPRegsTest, ValuesOutsideSixteenBitsAreRefused) {
    open();
    for (LONG value : {-32769, 0x10000, 65539}) EXPECT_EQ(named(u"CR31")->put_Value(value), S_FALSE) << value;
    EXPECT_TRUE(adapter->requests().empty());
    ASSERT_EQ(named(u"CR31")->put_Value(-1), S_OK);
    EXPECT_EQ(adapter->commands(), (Commands{{0x0031, 62, 0xFFFF}}));
}

TEST_F(BBPRegsTest, DetectedAgainAtEveryHandOverButListedOnce) {
    open(AdapterOptions().model(BBP_ALDER));
    ASSERT_EQ(regs->_SetApiObj(adapter->apiHandle()), S_OK);
    EXPECT_EQ(adapter->commands(), (Commands{{0x0030, 0, 0}}));
    EXPECT_EQ(count(), 32);
}

TEST_F(BBPRegsTest, FailedDetectionListsNothing) {
    open(AdapterOptions().refuse(OID_VIREO_COMMAND));
    LONG type = 0;
    regs->get_BBPType(&type);
    EXPECT_EQ(type, -1);
    EXPECT_EQ(count(), 0);
}

TEST_F(BBPRegsTest, CallsWithoutASessionAreRefused) {
    adapter.reset();
    adapter = std::make_unique<OpenAdapter>();
    ComPtr<IBBPRegs> lonely;
    ASSERT_EQ(oleaut::createObject<BBPRegs>(IBBPRegs::iid, lonely.putVoid()), S_OK);
    EXPECT_EQ(lonely->_SetApiObj(0), S_FALSE);
    EXPECT_EQ(takeErrorText(), u"No Adapter Object Reference");
    auto* reg = new BBPReg();
    ComPtr<IBBPReg> r(reg);
    reg->describe({u"CR3", 3, false}, BBP_ALDER, 0);
    LONG value = 0;
    EXPECT_EQ(r->get_Value(&value), E_FAIL);
    EXPECT_EQ(takeErrorText(), u"No Adapter Object Reference");
    EXPECT_EQ(r->put_Value(1), E_FAIL);
    EXPECT_EQ(takeErrorText(), u"No Adapter Object Reference");
    EXPECT_TRUE(adapter->requests().empty());
}

TEST(BBPRegSurface, MembersInSlotOrder) {
    const std::vector<const char16_t*> names{u"_SetApiObj", u"BBPType", u"Id", u"Key", u"No", u"type", u"Value",
                               u"setType", u"setId", u"setKey", u"setNo"};
    ComPtr<IBBPReg> r;
    ASSERT_EQ(oleaut::createObject<BBPReg>(IBBPReg::iid, r.putVoid()), S_OK);
    expectSlotOrder(r.get(), names);
    Text lower(u"sr4");
    r->setId(lower.b);
    Text id;
    r->get_Id(&id.b);
    EXPECT_EQ(id.str(), u"SR4");
}

}  // namespace
}  // namespace direzo::testing

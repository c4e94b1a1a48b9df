// TDmiAccess and the walk over the service-provider library, on a host identity made by the test.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "dmi_access.h"

using namespace airmeter;
namespace fs = std::filesystem;

namespace {

class DmiTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::path(AIRMETER_BINARY_DIR) / "test-scratch" / "airmeter_dmi_tests" /
                ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(root_);
        fs::create_directories(root_);
        write("sys_vendor", "Oru Systems\n");
        write("product_name", "Bench Host 7\n");
        write("product_uuid", "4c4c4544-0031-3210-8052-b4c04f4a3532\n");
        write("bios_vendor", "Oru Firmware\n");
        write("bios_version", "2.1\n");
        write("bios_date", "05/17/2024\n");
        write("chassis_vendor", "Oru Systems\n");
        write("chassis_type", "10\n");
        setenv("ORU_DMI_ROOT", root_.c_str(), 1);
        ASSERT_TRUE(loadLibrary());
    }
    void TearDown() override { DmiLibrary::unload(); }

    static bool loadLibrary() {
        return DmiLibrary::load({(fs::path(AIRMETER_BINARY_DIR) / "lib").string()});
    }
    void write(const char* name, const char* text) { std::ofstream(root_ / name) << text; }

    static std::vector<std::string> walk(TDmiAccess& access, const std::function<bool()>& stopped) {
        std::vector<std::string> lines;
        walkDmi(access, [&](const std::string& l) { lines.push_back(l); }, stopped, [] {});
        return lines;
    }

    fs::path root_;
};

bool contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

}  // namespace

TEST(DmiLibraryName, MapsThePlatformNameToALinuxFileName) {
    EXPECT_EQ(DmiLibrary::fileName("DMIAPI32.DLL"), "libdmiapi32.so");
}

TEST_F(DmiTest, WalkListsComponentsGroupsAttributesAndValues) {
    TDmiAccess access;
    ASSERT_TRUE(access.registered());
    const auto lines = walk(access, [] { return false; });
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(lines[1], "---------------------------------------");
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(lines[3], "CompId = 1 Name = System Desc = The computer system");
    EXPECT_EQ(lines[4], "");
    EXPECT_EQ(lines[5], "   GroupId = 1 GroupName = ComponentID ClassString = DMTF|ComponentID|001 "
                        "Desc = Identification of the component");
    EXPECT_EQ(lines[6], "      AttrId = 1 AttrName = Manufacturer AttrAccess = ReadOnly AttrType = String "
                        "Desc = Maker of the system");
    EXPECT_EQ(lines[7], "----> Oru Systems");
    EXPECT_TRUE(contains(lines, "         EnumValue = 7 EnumName = This component exists, and is functioning correctly"));
    // An octet string shows -2, a date -1; an integer its value.
    EXPECT_TRUE(contains(lines, "      AttrId = 1 AttrName = UUID AttrAccess = ReadOnly AttrType = OctetString "
                                "Desc = Universal unique identifier"));
    EXPECT_TRUE(contains(lines, "----> -2"));
    EXPECT_TRUE(contains(lines, "----> -1"));
    EXPECT_TRUE(contains(lines, "----> 10"));
    EXPECT_TRUE(contains(lines, "         EnumValue = 10 EnumName = Notebook"));
    EXPECT_TRUE(contains(lines, "CompId = 4 Name = Chassis Desc = The system enclosure"));
    EXPECT_FALSE(contains(lines, "CompId = 2 Name = Baseboard Desc = The system board"));  // no board files
}

TEST_F(DmiTest, AValueTooLongForTheConfirmationShowsTheRefusalAndTheWalkGoesOn) {
    write("product_name", (std::string(2000, 'x') + "\n").c_str());
    TDmiAccess access;
    const auto lines = walk(access, [] { return false; });
    const auto product = std::find(lines.begin(), lines.end(),
                                   "      AttrId = 2 AttrName = Product AttrAccess = ReadOnly AttrType = String "
                                   "Desc = Product name of the system");
    ASSERT_NE(product, lines.end());
    EXPECT_EQ(*(product + 1), "----> GetAttribute: Stat = 261");  // the buffer is too small
    EXPECT_TRUE(contains(lines, "CompId = 4 Name = Chassis Desc = The system enclosure"));
    EXPECT_TRUE(contains(lines, "----> 10"));
}

TEST_F(DmiTest, TheFirmwareHasNoProductMadeOfItsVendor) {
    TDmiAccess access;
    const auto lines = walk(access, [] { return false; });
    // The vendor shows once, as the firmware's manufacturer.
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "----> Oru Firmware"), 1);
    EXPECT_TRUE(contains(lines, "      AttrId = 2 AttrName = Version AttrAccess = ReadOnly AttrType = String "
                                "Desc = Firmware version"));
}

TEST_F(DmiTest, StopEndsTheWalkAfterTheCurrentEntry) {
    TDmiAccess access;
    int attributes = 0;
    std::vector<std::string> lines;
    walkDmi(access, [&](const std::string& l) {
        lines.push_back(l);
        if (l.starts_with("      AttrId")) ++attributes;
    }, [&] { return attributes >= 1; }, [] {});
    EXPECT_EQ(attributes, 1);
    EXPECT_EQ(lines.back(), "----> Oru Systems");
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const auto& l) { return l.starts_with("CompId"); }), 1);
}

TEST_F(DmiTest, SetAttributeWritesWritableAttributesAndRefusesOthers) {
    TDmiAccess access;
    std::uint32_t type = 0;
    access.setAttribute(1, 1, 5, 4);  // Verify
    EXPECT_EQ(std::get<std::int64_t>(access.getAttribute(1, 1, 5, &type)), 4);
    EXPECT_EQ(type, 5u);
    try {
        access.setAttribute(1, 1, 1, 3);
        FAIL() << "a read-only attribute was written";
    } catch (const DmiError& e) {
        EXPECT_STREQ(e.what(), "SetAttribute: Stat = 260");
    }
    EXPECT_THROW(access.getAttribute(9, 1, 1), DmiError);
}

TEST_F(DmiTest, WithoutTheLibraryNothingIsListed) {
    DmiLibrary::unload();
    TDmiAccess access;
    EXPECT_FALSE(access.registered());
    EXPECT_TRUE(walk(access, [] { return false; }).empty());
}

TEST_F(DmiTest, AMissingConfirmationIsReportedWhenTheWaitPasses) {
    DmiLibrary::unload();
    setenv("ORU_DMI_CONFIRM_DELAY_MS", "400", 1);
    ASSERT_TRUE(loadLibrary());
    try {
        TDmiAccess access(std::chrono::milliseconds(20));
        FAIL() << "registered without a confirmation";
    } catch (const DmiError& e) {
        EXPECT_STREQ(e.what(), "Register: no confirmation from the DMI service provider within 20 ms");
    }
    unsetenv("ORU_DMI_CONFIRM_DELAY_MS");
    DmiLibrary::unload();
}

TEST_F(DmiTest, TheOwnerRunsWhileACommandWaitsAndCannotStartAnother) {
    DmiLibrary::unload();
    setenv("ORU_DMI_CONFIRM_DELAY_MS", "100", 1);
    ASSERT_TRUE(loadLibrary());
    int calls = 0;
    std::string nested;
    TDmiAccess* self = nullptr;
    TDmiAccess access(std::chrono::seconds(30), [&] {
        ++calls;
        if (self && nested.empty()) {
            try {
                self->componentDescription(1);
            } catch (const DmiError& e) {
                nested = e.what();
            }
        }
    });
    EXPECT_TRUE(access.registered());
    EXPECT_GE(calls, 3);  // about every 10 ms of the 100 ms wait
    self = &access;
    EXPECT_EQ(access.componentDescription(1), "The computer system");
    EXPECT_EQ(nested, "ListDescComp: another DMI command is still waiting for its confirmation");
    unsetenv("ORU_DMI_CONFIRM_DELAY_MS");
}

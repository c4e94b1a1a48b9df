#include "firmware/station_image.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "firmware/srec_reader.h"
#include "firmware/station_identity.h"
#include "test_support.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(StationImage, WrittenImagesLoadWithEverySideRecord) {
  firmware::StationImageOptions options;
  options.buildSequence = 0x0123;
  options.major = 1;
  options.minor = 7;
  options.variant = 2;
  options.codeBytes = 9000;
  for (unsigned addressBytes : {2u, 3u, 4u}) {
    firmware::ImageLayout layout = firmware::MakeStationImageLayout(options);
    layout.dataAddressBytes = addressBytes;
    firmware::testing::ScratchDir dir;
    firmware::LoadedImage loaded;
    std::ostringstream out;
    ASSERT_NE(firmware::LoadSrecFile(dir.Write("sta.hex", firmware::WriteSrec(layout)), loaded, out), 0u) << out.str();
    EXPECT_EQ(out.str(), "Info records ignored.\nBuild sequence: 123\n");
    EXPECT_EQ(loaded.image.storedBytes(), 9000u);
    EXPECT_EQ(loaded.plugs.size(), 4u);
    EXPECT_EQ(loaded.image.Read(firmware::kStationCrcAddress - 2, 2), (Bytes{0xDE, 0xC0}));
    EXPECT_TRUE(loaded.info.versionB.valid);
    EXPECT_EQ(loaded.info.versionB.minor, 7);
    EXPECT_EQ(loaded.info.buildSequence, 0x0123);
    EXPECT_TRUE(loaded.info.compatibility[1].valid);
    EXPECT_TRUE(loaded.info.platforms[0].valid);
    const auto block = loaded.image.Read(firmware::kStationIdentityAddress, firmware::kStationIdentityBytes);
    const auto identity = firmware::DecodeStationIdentity(*block);
    ASSERT_TRUE(identity);
    EXPECT_EQ(identity->buildSequence, 0x0123);
    EXPECT_EQ(identity->major, 1);
    EXPECT_EQ(identity->variant, 2);
  }
}

// An independent reader of S-records takes our files as they are: checksums, counts, addresses.
TEST(StationImage, SrecCatReadsTheWrittenData) {
  firmware::StationImageOptions options;
  options.codeBytes = 5000;
  options.bytesPerRecord = 250;
  for (unsigned addressBytes : {2u, 3u, 4u}) {
    firmware::ImageLayout layout = firmware::MakeStationImageLayout(options);
    layout.dataAddressBytes = addressBytes;
    firmware::testing::ScratchDir dir;
    const std::string hex = dir.Write("sta.hex", firmware::WriteSrec(layout));
    const std::string bin = dir.Path("sta.bin");
    const std::string command = "srec_cat -multiple -disable-sequence-warnings '" + hex +
                                "' -crop 0 0xF00000 -o '" + bin + "' -binary 2>" + dir.Path("err");
    ASSERT_EQ(std::system(command.c_str()), 0) << Slurp(dir.Path("err"));
    const std::string data = Slurp(bin);
    EXPECT_EQ(Bytes(data.begin(), data.end()), layout.segments[0].bytes) << addressBytes;
  }
}

TEST(StationImage, IdentityBlocksRoundTripAndForeignBytesAreNotOne) {
  firmware::StationIdentity identity{7, 31, 1, 2, 3, "STA1_3.HEX"};
  const auto bytes = firmware::EncodeStationIdentity(identity);
  ASSERT_EQ(bytes.size(), firmware::kStationIdentityBytes);
  const auto decoded = firmware::DecodeStationIdentity(bytes);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->fileName, "STA1_3.HEX");
  EXPECT_EQ(decoded->minor, 3);
  EXPECT_FALSE(firmware::DecodeStationIdentity(Bytes(firmware::kStationIdentityBytes, 0xFF)));
  EXPECT_FALSE(firmware::DecodeStationIdentity(Bytes(4, 0)));
}

class Tool : public ::testing::Test {
 protected:
  int Run(const std::string& args) {
    const std::string command = std::string(ORU_FWIMAGE_PATH) + " " + args + " 2>" +
                                dir.Path("stderr");
    return WEXITSTATUS(std::system(command.c_str()));
  }
  firmware::testing::ScratchDir dir;
};

TEST_F(Tool, WritesTheStationImageOfTheLibrary) {
  const std::string path = dir.Path("factory.hex");
  ASSERT_EQ(Run("-o " + path + " --station 5:1:2:0 --code-bytes 0x2000 --seed 9"), 0) << Slurp(dir.Path("stderr"));
  firmware::StationImageOptions options{5, 1, 2, 0, 0x2000, 9};
  EXPECT_EQ(Slurp(path), firmware::WriteSrec(firmware::MakeStationImageLayout(options)));
}

TEST_F(Tool, WritesDataAndSideRecordsGivenOneByOne) {
  const std::string path = dir.Path("custom.hex");
  dir.Write("code.bin", "0123456789");
  ASSERT_EQ(Run("-o " + path + " --segment 0x400:" + dir.Path("code.bin") +
                " --fill 0x1000:300:2 --plug 0x0104:0x404:2 --name-plug 0x1000:20 --crc 0x40A"
                " --version 21:1:2:3 --compat 1:0:1:1:2 --build 0x44 --platform 0x8001:1:1:2 --info 9:1,2"
                " --exec 0x400 --address-bytes 3 --record-bytes 16"),
            0)
      << Slurp(dir.Path("stderr"));
  firmware::LoadedImage loaded;
  std::ostringstream out;
  ASSERT_NE(firmware::LoadSrecFile(path, loaded, out), 0u) << out.str();
  EXPECT_EQ(loaded.image.Read(0x400, 8), (Bytes{'0', '1', '2', '3', '4', '5', '6', '7'}));
  EXPECT_EQ(loaded.image.Read(0x408, 2), (Bytes{0xDE, 0xC0}));
  EXPECT_EQ(loaded.image.Read(0x1000, 300), firmware::PseudoRandomBytes(300, 2));
  EXPECT_EQ(loaded.plugs.size(), 2u);
  EXPECT_EQ(loaded.info.versionA.major, 2);
  EXPECT_EQ(loaded.info.buildSequence, 0x44);
  EXPECT_EQ(*loaded.image.executionAddress(), 0x400u);
  EXPECT_NE(Slurp(path).find("\nS2"), std::string::npos);
  EXPECT_NE(Slurp(path).find("\nS804000400"), std::string::npos);
}

TEST_F(Tool, RefusesBadArgumentsWithoutWritingAFile) {
  const std::string path = dir.Path("bad.hex");
  for (const std::string& args : std::vector<std::string>{"--station 1:2:3", "--station 1:2:3:0x10000", "--fill 0xF00000:16",
                                  "--segment 0:" + dir.Path("missing.bin"), "--info 1:1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20",
                                  "--station 1:1:0:0 --address-bytes 5", "--station 1:1:0:0 --address-bytes 0",
                                  "--station 1:1:0:0 --record-bytes 0", "--bogus 1"}) {
    EXPECT_NE(Run("-o " + path + " " + args), 0) << args;
    EXPECT_NE(Slurp(dir.Path("stderr")).find("oru-fwimage: "), std::string::npos) << args;
    EXPECT_FALSE(std::filesystem::exists(path)) << args;
  }
}

}  // namespace

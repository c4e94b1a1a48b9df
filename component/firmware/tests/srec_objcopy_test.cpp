// Images converted by the system's binary tools load with their data where the tools put it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <fstream>
#include <sstream>
#include <vector>

#include "firmware/srec_reader.h"
#include "firmware/station_image.h"
#include "test_support.h"

namespace {

struct Conversion {
  const char* name;
  std::string options;
  std::uint32_t address;
  char dataType;  // the record type the tool is expected to use
};

class ObjcopyImages : public ::testing::TestWithParam<Conversion> {};

TEST_P(ObjcopyImages, LoadWithTheirDataInPlace) {
  const Conversion& c = GetParam();
  firmware::testing::ScratchDir dir;
  const auto payload = firmware::PseudoRandomBytes(3000, 42);
  const std::string bin = dir.Write("code.bin", std::string(payload.begin(), payload.end()));
  const std::string hex = dir.Path("code.srec");
  const std::string command = "objcopy -I binary -O srec " + c.options + " '" + bin + "' '" + hex + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  std::ifstream file(hex);
  const std::string text((std::istreambuf_iterator<char>(file)), {});
  ASSERT_NE(text.find(std::string("\nS") + c.dataType), std::string::npos) << text.substr(0, 200);

  firmware::LoadedImage image;
  std::ostringstream out;
  const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  EXPECT_EQ(firmware::LoadSrecFile(hex, image, out), lines + 1) << out.str();
  ASSERT_EQ(image.image.segments().size(), 1u);
  EXPECT_EQ(image.image.segments()[0].address, c.address);
  EXPECT_EQ(image.image.Read(c.address, payload.size()), payload);
}

INSTANTIATE_TEST_SUITE_P(
    Objcopy, ObjcopyImages,
    ::testing::Values(Conversion{"S1", "", 0x0000, '1'},
                      Conversion{"S2", "--change-addresses 0x012340", 0x012340, '2'},
                      Conversion{"S3", "--srec-forceS3 --change-addresses 0x7E0000", 0x7E0000, '3'},
                      Conversion{"S3Short", "--srec-forceS3 --srec-len 8 --change-addresses 0x100", 0x100, '3'}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

// Where the listings go and how a chosen name becomes the listings' names and the readers to run.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "listing_files.h"

using namespace kestview::bbp;
namespace fs = std::filesystem;

TEST(ListingFiles, SaveBaseIsTheNameUpToItsFirstDot) {
    const std::pair<const char*, const char*> cases[] = {
        {"/cfg/cfgbirch.ini", "/cfg/cfgbirch"},
        {"/cfg/x.c.ini", "/cfg/x"},
        {"/home/eng/.local/share/oru/CFGALDER/run2", "/home/eng/.local/share/oru/CFGALDER/run2"},  // no "."
        {"/a.b/cfg.pda", "/a.b/cfg"},
        {"plain", "plain"},
    };
    for (const auto& [chosen, base] : cases) EXPECT_EQ(saveBase(chosen), base) << chosen;
}

TEST(ListingFiles, RestoreKindsAreTestedOnTheFileNameCaseSensitively) {
    const struct {
        const char* chosen;
        bool ini, c, pda;
    } cases[] = {
        {"/x/cfg.ini", true, false, false}, {"/x/cfg.c", false, true, false},   {"/x/x.c.ini", true, true, false},
        {"/x/x.INI", false, false, false},  {"/x/cfg.pda", false, false, true}, {"/.cache/cfg.ini", true, false, false},
    };
    for (const auto& c : cases) {
        const RestoreKinds k = restoreKinds(c.chosen);
        EXPECT_EQ(k.ini, c.ini) << c.chosen;
        EXPECT_EQ(k.c, c.c) << c.chosen;
        EXPECT_EQ(k.pda, c.pda) << c.chosen;
    }
}

TEST(ListingFiles, ConfigFolderBesideTheProgramElseInTheUsersDataFolder) {
    const fs::path scratch = fs::temp_directory_path() / ("bbp-config-" + std::to_string(::getpid()));
    fs::remove_all(scratch);
    fs::create_directories(scratch / "bin");
    setenv("XDG_DATA_HOME", (scratch / "data").c_str(), 1);

    EXPECT_EQ(configFolder(scratch / "bin", "CFGALDER"), scratch / "bin" / "CFGALDER");  // can be created
    fs::create_directory(scratch / "bin" / "CFGALDER");
    EXPECT_EQ(configFolder(scratch / "bin", "CFGALDER"), scratch / "bin" / "CFGALDER");  // exists, writable
    std::ofstream(scratch / "bin" / "CFGBIRCH") << "a file, not a folder";
    EXPECT_EQ(configFolder(scratch / "bin", "CFGBIRCH"), scratch / "data" / "oru" / "CFGBIRCH");
    EXPECT_EQ(configFolder(scratch / "gone", "CFGBIRCH"), scratch / "data" / "oru" / "CFGBIRCH");  // no program folder
    setenv("XDG_DATA_HOME", "relative/path", 1);
    setenv("HOME", (scratch / "home").c_str(), 1);
    EXPECT_EQ(configFolder(scratch / "gone", "CFGALDER"), scratch / "home" / ".local" / "share" / "oru" / "CFGALDER");
    fs::remove_all(scratch);
}

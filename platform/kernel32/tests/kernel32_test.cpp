#include <gtest/gtest.h>

#include <thread>

#include "win32/kernel32.h"

TEST(Events, ManualResetStaysSignalledUntilReset) {
    HANDLE e = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
    std::thread setter([e] { SetEvent(e); });
    EXPECT_EQ(WaitForSingleObject(e, INFINITE), WAIT_OBJECT_0);
    setter.join();
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);  // still signalled
    EXPECT_TRUE(ResetEvent(e));
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(e));
}

TEST(Events, AutoResetReleasesOneWait) {
    HANDLE e = CreateEventA(nullptr, FALSE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
    CloseHandle(e);
}

TEST(Events, ClosedOrForeignHandlesAreRefused) {
    HANDLE e = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(CloseHandle(e));
    EXPECT_FALSE(SetEvent(e));
    EXPECT_FALSE(ResetEvent(e));
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_FAILED);
    EXPECT_FALSE(CloseHandle(e));
    int notAnEvent = 0;
    EXPECT_FALSE(SetEvent(&notAnEvent));
    EXPECT_FALSE(CloseHandle(nullptr));
}

TEST(DosDevices, DefineQueryRemove) {
    char target[64];
    ASSERT_TRUE(DefineDosDeviceA(DDD_RAW_TARGET_PATH, "VIREO1", "\\Device\\VIREO1"));
    ASSERT_GT(QueryDosDeviceA("VIREO1", target, sizeof target), 0u);
    EXPECT_STREQ(target, "\\Device\\VIREO1");
    EXPECT_EQ(QueryDosDeviceA("VIREO1", target, 4), 0u);  // too small
    EXPECT_TRUE(DefineDosDeviceA(DDD_REMOVE_DEFINITION, "VIREO1", nullptr));
    EXPECT_EQ(QueryDosDeviceA("VIREO1", target, sizeof target), 0u);
    EXPECT_FALSE(DefineDosDeviceA(0, "", "x"));
}

TEST(Version, ReportsNtFive) {
    OSVERSIONINFOA info{};
    EXPECT_FALSE(GetVersionExA(&info));  // size not set
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_NT);
    EXPECT_EQ(info.dwMajorVersion, 5u);
}

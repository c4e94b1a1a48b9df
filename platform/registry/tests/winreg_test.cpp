#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "registry/change_batch.h"
#include "registry/winreg.h"

namespace fs = std::filesystem;

namespace {

std::string readText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class Registry : public ::testing::Test {
protected:
    void SetUp() override {
        // Each test process gets its own hive below the scratch path, so tests may run in parallel.
        static const fs::path processHive = [] {
            const char* env = std::getenv("ORU_REGISTRY");
            if (!env || !*env) return fs::path();
            const fs::path p = fs::path(env).parent_path() / ("process-" + std::to_string(::getpid())) / "registry.reg";
            ::setenv("ORU_REGISTRY", p.c_str(), 1);
            return p;
        }();
        ASSERT_FALSE(processHive.empty()) << "tests run with a scratch ORU_REGISTRY";
        hive = processHive;
        fs::create_directories(hive.parent_path());
        fs::remove(hive);
    }
    void TearDown() override { fs::remove_all(hive.parent_path()); }

    HKEY create(const char* path, REGSAM sam = KEY_ALL_ACCESS) {
        HKEY k = nullptr;
        EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, sam, nullptr, &k, nullptr),
                  ERROR_SUCCESS);
        return k;
    }
    void writeHive(const std::string& text) { std::ofstream(hive, std::ios::binary) << text; }

    fs::path hive;
};

std::string queryString(HKEY k, const char* name) {
    char buf[256];
    DWORD len = sizeof buf, type = 0;
    if (RegQueryValueExA(k, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &len) != ERROR_SUCCESS ||
        type != REG_SZ)
        return "<missing>";
    return std::string(buf, len ? len - 1 : 0);
}

}  // namespace

TEST_F(Registry, ValuesPersistInTheHiveFile) {
    HKEY k = create("Software\\Maker\\Product");
    const DWORD ten = 10;
    const BYTE blob[] = {0xde, 0xad, 0x00, 0x01};
    ASSERT_EQ(RegSetValueExA(k, "Desc", 0, REG_SZ, reinterpret_cast<const BYTE*>("A \"q\" \\ b"), 10), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(k, "Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&ten), 4), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(k, "Blob", 0, REG_BINARY, blob, sizeof blob), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>("dflt"), 5), ERROR_SUCCESS);
    RegCloseKey(k);

    const std::string text = readText(hive);
    EXPECT_EQ(text,
              "Windows Registry Editor Version 5.00\n\n"
              "[HKEY_LOCAL_MACHINE]\n\n"
              "[HKEY_LOCAL_MACHINE\\Software]\n\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Maker]\n\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Maker\\Product]\n"
              "\"Desc\"=\"A \\\"q\\\" \\\\ b\"\n"
              "\"Count\"=dword:0000000a\n"
              "\"Blob\"=hex:de,ad,00,01\n"
              "@=\"dflt\"\n\n");

    // Another writer changes the file: the next call sees the change.
    std::string changed = text;
    changed.replace(changed.find("dword:0000000a"), 14, "dword:0000002a");
    writeHive(changed);
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\maker\\PRODUCT", 0, KEY_READ, &k), ERROR_SUCCESS);
    DWORD v = 0, len = sizeof v, type = 0;
    EXPECT_EQ(RegQueryValueExA(k, "count", nullptr, &type, reinterpret_cast<BYTE*>(&v), &len), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(v, 0x2au);
    EXPECT_EQ(queryString(k, "Desc"), "A \"q\" \\ b");
    EXPECT_EQ(queryString(k, ""), "dflt");
    RegCloseKey(k);
}

TEST_F(Registry, SubkeysEnumerateInCreationOrderWithTheirSpelling) {
    for (const char* name : {"Zulu", "alpha", "Mike"}) RegCloseKey(create((std::string("Root\\") + name).c_str()));
    HKEY again = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "ROOT\\ALPHA", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &again,
                              &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    RegCloseKey(again);

    HKEY root = create("Root", KEY_READ);
    std::vector<std::string> names;
    char name[16];
    DWORD len = sizeof name;
    for (DWORD i = 0; RegEnumKeyExA(root, i, name, &len, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++i, len = sizeof name)
        names.emplace_back(name, len);
    EXPECT_EQ(names, (std::vector<std::string>{"Zulu", "alpha", "Mike"}));
    RegCloseKey(root);
}

TEST_F(Registry, BuffersThatAreTooSmallAnswerMoreData) {
    HKEY k = create("Class\\0001");
    RegCloseKey(k);
    k = create("Class");
    ASSERT_EQ(RegSetValueExA(k, "Text", 0, REG_SZ, reinterpret_cast<const BYTE*>("hello"), 6), ERROR_SUCCESS);
    const struct {
        DWORD size;
        LSTATUS status;
    } nameCases[] = {{4, ERROR_MORE_DATA}, {5, ERROR_SUCCESS}, {64, ERROR_SUCCESS}};
    for (const auto& c : nameCases) {
        char name[64] = {};
        DWORD len = c.size;
        EXPECT_EQ(RegEnumKeyExA(k, 0, name, &len, nullptr, nullptr, nullptr, nullptr), c.status) << c.size;
        if (c.status == ERROR_SUCCESS) {
            EXPECT_EQ(len, 4u);
            EXPECT_STREQ(name, "0001");
        }
    }
    char name[8];
    DWORD len = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(k, 1, name, &len, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);

    BYTE data[4];
    DWORD dataLen = sizeof data;
    EXPECT_EQ(RegQueryValueExA(k, "Text", nullptr, nullptr, data, &dataLen), ERROR_MORE_DATA);
    EXPECT_EQ(dataLen, 6u);
    dataLen = 0;
    EXPECT_EQ(RegQueryValueExA(k, "Text", nullptr, nullptr, nullptr, &dataLen), ERROR_SUCCESS);
    EXPECT_EQ(dataLen, 6u);
    EXPECT_EQ(RegQueryValueExA(k, "Absent", nullptr, nullptr, nullptr, &dataLen), ERROR_FILE_NOT_FOUND);
    RegCloseKey(k);
}

TEST_F(Registry, HandlesAndAccessRightsAreChecked) {
    HKEY k = create("Keys\\A\\B");
    HKEY readOnly = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Keys\\A", 0, KEY_READ, &readOnly), ERROR_SUCCESS);
    const BYTE one = 1;
    EXPECT_EQ(RegSetValueExA(readOnly, "v", 0, REG_BINARY, &one, 1), ERROR_ACCESS_DENIED);
    RegCloseKey(readOnly);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Keys\\Missing", 0, KEY_READ, &readOnly), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(readOnly, nullptr);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Keys\\\\A", 0, KEY_READ, &readOnly), ERROR_INVALID_PARAMETER);
    // Names the hive file could not hold are refused.
    HKEY bad = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Keys\\line\nbreak", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &bad, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExA(k, "tab\there", 0, REG_BINARY, &one, 1), ERROR_INVALID_PARAMETER);

    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Keys\\A"), ERROR_ACCESS_DENIED);  // has a subkey
    EXPECT_EQ(RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Keys\\A"), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(k, "v", 0, REG_BINARY, &one, 1), ERROR_KEY_DELETED);
    EXPECT_EQ(RegFlushKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(k), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegFlushKey(k), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegSetValueExA(k, "v", 0, REG_BINARY, &one, 1), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegQueryValueExA(nullptr, "v", nullptr, nullptr, nullptr, nullptr), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Keys\\A"), ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, DeleteTreeWithoutSubkeyEmptiesTheKey) {
    HKEY k = create("T\\Inner");
    RegCloseKey(k);
    k = create("T");
    const BYTE one = 1;
    RegSetValueExA(k, "v", 0, REG_BINARY, &one, 1);
    EXPECT_EQ(RegDeleteTreeA(HKEY_LOCAL_MACHINE, nullptr), ERROR_ACCESS_DENIED);
    ASSERT_EQ(RegDeleteTreeA(k, nullptr), ERROR_SUCCESS);
    char name[8];
    DWORD len = sizeof name, type = 0;
    EXPECT_EQ(RegEnumKeyExA(k, 0, name, &len, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    len = sizeof name;
    EXPECT_EQ(RegEnumValueA(k, 0, name, &len, nullptr, &type, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(RegDeleteValueA(k, "v"), ERROR_FILE_NOT_FOUND);
    RegCloseKey(k);
}

TEST_F(Registry, CorruptHiveIsReportedAndLeftUntouched) {
    const std::string corrupt =
        "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Keep]\n\"v\"=dword:zz\n";
    writeHive(corrupt);
    testing::internal::CaptureStderr();
    HKEY k = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Keep", 0, KEY_READ, &k), ERROR_BADDB);
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_BADDB);
    EXPECT_EQ(RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Keep"), ERROR_BADDB);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(hive.string() + ":4:"), std::string::npos) << err;
    EXPECT_EQ(readText(hive), corrupt);
}

TEST_F(Registry, ConcurrentWritersLoseNothing) {
    auto writer = [this](int id) {
        for (int i = 0; i < 15; ++i) {
            HKEY k = create(("Race\\W" + std::to_string(id)).c_str());
            const DWORD v = DWORD(i);
            RegSetValueExA(k, std::string("v").append(std::to_string(i)).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), 4);
            RegCloseKey(k);
        }
    };
    std::thread a(writer, 0), b(writer, 1);
    a.join();
    b.join();
    for (const char* key : {"Race\\W0", "Race\\W1"}) {
        HKEY k = create(key, KEY_READ);
        DWORD count = 0;
        char name[16];
        for (DWORD len = sizeof name; RegEnumValueA(k, count, name, &len, nullptr, nullptr, nullptr, nullptr) ==
                                      ERROR_SUCCESS;
             len = sizeof name)
            ++count;
        EXPECT_EQ(count, 15u) << key;
        RegCloseKey(k);
    }
}

TEST_F(Registry, ManySiblingsAreFoundWithoutRegardToCaseAndKeepTheirOrder) {
    // Enough siblings that lookups go through the key's name index, across deletes and a reload.
    std::vector<std::string> expected;
    for (int i = 0; i < 40; ++i) {
        expected.push_back("Class" + std::to_string(i));
        RegCloseKey(create(("Many\\" + expected.back()).c_str()));
    }
    ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "MANY\\class3"), ERROR_SUCCESS);
    expected.erase(expected.begin() + 3);
    auto opens = [](const char* path) {
        HKEY k = nullptr;
        const LSTATUS s = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &k);
        RegCloseKey(k);
        return s;
    };
    EXPECT_EQ(opens("many\\class39"), ERROR_SUCCESS);
    EXPECT_EQ(opens("many\\class3"), ERROR_FILE_NOT_FOUND);
    // A second section for an existing key, spelt differently, adds to that key.
    std::string text = readText(hive);
    text += "[HKEY_LOCAL_MACHINE\\many\\CLASS39]\n\"v\"=dword:00000007\n";
    writeHive(text);
    for (const char* name : {"many\\class39", "MANY\\CLASS10", "Many\\Class0"}) EXPECT_EQ(opens(name), ERROR_SUCCESS) << name;
    EXPECT_EQ(opens("Many\\Class3"), ERROR_FILE_NOT_FOUND);
    HKEY many = create("Many", KEY_READ);
    std::vector<std::string> names;
    char name[16];
    DWORD len = sizeof name;
    for (DWORD i = 0; RegEnumKeyExA(many, i, name, &len, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++i, len = sizeof name)
        names.emplace_back(name, len);
    EXPECT_EQ(names, expected);
    RegCloseKey(many);
    HKEY last = create("Many\\Class39", KEY_READ);
    DWORD v = 0, size = sizeof v;
    EXPECT_EQ(RegQueryValueExA(last, "V", nullptr, nullptr, reinterpret_cast<BYTE*>(&v), &size), ERROR_SUCCESS);
    EXPECT_EQ(v, 7u);
    RegCloseKey(last);
}

TEST_F(Registry, ABatchIsWrittenOnceWhenItEnds) {
    RegCloseKey(create("Before"));
    const std::string before = readText(hive);
    {
        oru::registry::ChangeBatch outer;
        {
            oru::registry::ChangeBatch inner;
            HKEY k = create("Batch\\Inner");
            const DWORD one = 1;
            ASSERT_EQ(RegSetValueExA(k, "one", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4), ERROR_SUCCESS);
            RegCloseKey(k);
            EXPECT_EQ(inner.commit(), ERROR_SUCCESS);
        }
        // The thread sees its changes; the file does not have them yet.
        HKEY k = nullptr;
        EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "batch\\inner", 0, KEY_READ, &k), ERROR_SUCCESS);
        RegCloseKey(k);
        EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Before"), ERROR_SUCCESS);
        EXPECT_EQ(RegFlushKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
        EXPECT_EQ(readText(hive), before);
        EXPECT_EQ(outer.commit(), ERROR_SUCCESS);
        EXPECT_EQ(outer.commit(), ERROR_SUCCESS);
    }
    const std::string after = readText(hive);
    EXPECT_NE(after.find("[HKEY_LOCAL_MACHINE\\Batch\\Inner]\n\"one\"=dword:00000001\n"), std::string::npos) << after;
    EXPECT_EQ(after.find("Before"), std::string::npos) << after;
}

TEST_F(Registry, AnotherWriterWaitsForTheBatchAndLosesNothing) {
    std::thread other;
    {
        oru::registry::ChangeBatch batch;
        RegCloseKey(create("Mine"));
        other = std::thread([this] { RegCloseKey(create("Theirs")); });
        // The other writer cannot get in while the batch holds the hive.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(readText(hive).find("Theirs"), std::string::npos);
    }
    other.join();
    const std::string text = readText(hive);
    EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\Mine]"), std::string::npos) << text;
    EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\Theirs]"), std::string::npos) << text;
}

TEST_F(Registry, ABatchOverACorruptHiveChangesNothing) {
    const std::string corrupt = "Windows Registry Editor Version 5.00\n\n[HKEY_BOGUS\\Keep]\n";
    writeHive(corrupt);
    testing::internal::CaptureStderr();
    {
        oru::registry::ChangeBatch batch;
        HKEY k = nullptr;
        EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
                  ERROR_BADDB);
        EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Keep", 0, KEY_READ, &k), ERROR_BADDB);
        EXPECT_EQ(batch.commit(), ERROR_BADDB);
    }
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(readText(hive), corrupt);
}

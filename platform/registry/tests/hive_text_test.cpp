#include <gtest/gtest.h>

#include "hive_text.h"

using namespace oru::registry;

namespace {
std::vector<BYTE> bytes(std::string_view s, bool nul = false) {
    std::vector<BYTE> v(s.begin(), s.end());
    if (nul) v.push_back(0);
    return v;
}
}  // namespace

TEST(HiveText, ReadsEveryValueForm) {
    const Hive h = parseHive(
        "Windows Registry Editor Version 5.00\r\n"
        "\r\n"
        "; a comment\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Maker]\n"
        "@=\"default\"\n"
        "\"Path\"=\"C:\\\\dir \\\"q\\\"\"\n"
        "\"Count\"=dword:0000000a\n"
        "\"Blob\"=hex:01,ff,\\\n"
        "  02\n"
        "\"Multi\"=hex(7):61,00,00\n"
        "[hkey_local_machine\\SOFTWARE\\maker\\Sub]\n");
    const Key* k = findKey(h, Root::LocalMachine, {"software", "maker"});
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(k->name, "Maker");
    ASSERT_EQ(k->values.size(), 5u);
    EXPECT_EQ(k->findValue("")->data, bytes("default", true));
    EXPECT_EQ(k->findValue("path")->data, bytes("C:\\dir \"q\"", true));
    EXPECT_EQ(k->findValue("Count")->data, (std::vector<BYTE>{10, 0, 0, 0}));
    EXPECT_EQ(k->findValue("Count")->type, REG_DWORD);
    EXPECT_EQ(k->findValue("Blob")->data, (std::vector<BYTE>{1, 0xff, 2}));
    EXPECT_EQ(k->findValue("Blob")->type, REG_BINARY);
    EXPECT_EQ(k->findValue("Multi")->type, REG_MULTI_SZ);
    ASSERT_EQ(k->subkeys().size(), 1u);
    EXPECT_EQ(k->subkeys()[0].name, "Sub");
}

TEST(HiveText, FormatThenParseGivesTheSameHive) {
    Hive h;
    h.root(Root::CurrentUser).subkey("A b").subkey("Zeta");
    h.root(Root::CurrentUser).subkey("A b").subkey("Alpha");  // creation order, not sorted
    Key& k = *h.root(Root::CurrentUser).subkey("A b").findSubkey("zeta");
    k.setValue("", REG_SZ, bytes("x\\\"y", true));
    k.setValue("dw", REG_DWORD, {1, 2, 3, 4});
    k.setValue("short dword", REG_DWORD, {1, 2});
    k.setValue("two lines", REG_SZ, bytes("a\nb", true));
    k.setValue("no nul", REG_SZ, bytes("abc"));
    k.setValue("empty", REG_BINARY, {});
    k.setValue("long", REG_BINARY, std::vector<BYTE>(300, 0xA5));
    k.setValue("none", REG_NONE, {7});
    h.root(Root::ClassesRoot).subkey("Empty");
    const std::string text = formatHive(h);
    EXPECT_EQ(parseHive(text), h) << text;
    EXPECT_NE(text.find("\"dw\"=dword:04030201\n"), std::string::npos);
    EXPECT_NE(text.find("@=\"x\\\\\\\"y\"\n"), std::string::npos);
}

TEST(HiveText, SyntaxErrorsNameTheLine) {
    const struct {
        const char* text;
        int line;
    } cases[] = {
        {"", 0},
        {"REGEDIT4\n", 1},
        {"Windows Registry Editor Version 5.00\n\"a\"=\"b\"\n", 2},
        {"Windows Registry Editor Version 5.00\n[HKEY_NOWHERE\\x]\n", 2},
        {"Windows Registry Editor Version 5.00\n[HKEY_USERS\\a\\\\b]\n", 2},
        {"Windows Registry Editor Version 5.00\n[HKEY_USERS\\a]\n\"v\"=dword:123456789\n", 3},
        {"Windows Registry Editor Version 5.00\n[HKEY_USERS\\a]\n\n\"v\"=\"unterminated\n", 4},
        {"Windows Registry Editor Version 5.00\n[HKEY_USERS\\a]\n\"v\"=\"bad \\n escape\"\n", 3},
        {"Windows Registry Editor Version 5.00\n[HKEY_USERS\\a]\n\"v\"=hex:1,2\n", 3},
        {"Windows Registry Editor Version 5.00\n[HKEY_USERS\\a]\n\"v\"=hex:01,\\\n", 3},
        {"Windows Registry Editor Version 5.00\n[HKEY_USERS\\a]\n\"v\"=-\n", 3},
        {"Windows Registry Editor Version 5.00\n[HKEY_USERS\\a]\n\"v\"=\"x\" trailing\n", 3},
        {"Windows Registry Editor Version 5.00\n[HKEY_USERS\\a\n", 2},
    };
    for (const auto& c : cases) {
        try {
            parseHive(c.text);
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const HiveSyntaxError& e) {
            EXPECT_EQ(e.line, c.line) << c.text << " -> " << e.what();
        }
    }
}

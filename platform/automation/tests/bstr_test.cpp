#include <gtest/gtest.h>

#include <cstring>

#include "oleaut/utf.h"
#include "test_support.h"

TEST(Bstr, CarriesByteCountBeforeAndNulAfter) {
    Bstr b = bstr(u"Vireo");
    std::uint32_t prefix = 0;
    std::memcpy(&prefix, reinterpret_cast<const char*>(b.get()) - 4, 4);
    EXPECT_EQ(prefix, 10u);
    EXPECT_EQ(SysStringLen(b.get()), 5u);
    EXPECT_EQ(SysStringByteLen(b.get()), 10u);
    EXPECT_EQ(b.get()[5], u'\0');
}

TEST(Bstr, NullIsEmptyText) {
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(SysStringByteLen(nullptr), 0u);
    SysFreeString(nullptr);
}

TEST(Bstr, KeepsEmbeddedNulsAndOddByteLengths) {
    const char16_t withNul[] = {u'a', u'\0', u'b'};
    Bstr b(SysAllocStringLen(withNul, 3));
    EXPECT_EQ(text(b.get()), std::u16string(withNul, 3));

    Bstr bytes(SysAllocStringByteLen("abc", 3));
    EXPECT_EQ(SysStringByteLen(bytes.get()), 3u);
    EXPECT_EQ(SysStringLen(bytes.get()), 1u);
    EXPECT_EQ(std::memcmp(bytes.get(), "abc\0\0", 5), 0);

    Bstr blank(SysAllocStringLen(nullptr, 4));  // room for four characters, zero-filled
    EXPECT_EQ(SysStringLen(blank.get()), 4u);
    EXPECT_EQ(blank.get()[0], u'\0');
}

TEST(Bstr, ReallocateFromItsOwnText) {
    BSTR b = SysAllocString(u"channel 11");
    ASSERT_TRUE(SysReAllocString(&b, b + 8));  // the source lies inside the text being replaced
    EXPECT_EQ(text(b), u"11");
    ASSERT_TRUE(SysReAllocString(&b, nullptr));
    EXPECT_EQ(b, nullptr);
    EXPECT_FALSE(SysReAllocString(nullptr, u"x"));
}

TEST(Utf, NarrowTextsConvertBothWaysAndMalformedBytesBecomeReplacements) {
    struct Case {
        const char* utf8;
        std::u16string utf16;
        bool roundTrip;  // the UTF-16 text converts back to the same bytes
    };
    const Case cases[] = {
        {"Vireo", u"Vireo", true},
        {"\xC3\xA9\xE2\x82\xAC", u"\u00E9\u20AC", true},
        {"\xF0\x9F\x98\x80", u"\U0001F600", true},
        {"\xC0\xAF", u"\uFFFD\uFFFD", false},                  // overlong
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD", false},       // an encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD", false},  // past U+10FFFF
        {"A\xE2\x82", u"A\uFFFD\uFFFD", false},                 // cut short
    };
    for (const Case& c : cases) {
        EXPECT_EQ(oleaut::toUtf16(c.utf8), c.utf16) << c.utf8;
        if (c.roundTrip) {
            EXPECT_EQ(oleaut::toUtf8(c.utf16), c.utf8);
        }
    }
    EXPECT_EQ(oleaut::toUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");  // unpaired surrogate
}

#include <gtest/gtest.h>

#include <thread>

#include "oleaut/com_object.h"
#include "test_support.h"

namespace {
ComPtr<IErrorInfo> makeError(const char16_t* description) {
    ComPtr<ICreateErrorInfo> create;
    EXPECT_EQ(CreateErrorInfo(create.put()), S_OK);
    create->SetDescription(const_cast<LPOLESTR>(description));
    create->SetSource(const_cast<LPOLESTR>(u"OruDirEzo.Rids.1"));
    create->SetHelpContext(17);
    return create.as<IErrorInfo>();
}

std::u16string descriptionOf(IErrorInfo* e) {
    BSTR b = nullptr;
    e->GetDescription(&b);
    std::u16string t = text(b);
    SysFreeString(b);
    return t;
}
}  // namespace

TEST(ErrorInfo, GetHandsOverAndClears) {
    ComPtr<IErrorInfo> e = makeError(u"IRids : Key FD99 not found ");
    ASSERT_EQ(SetErrorInfo(0, e.get()), S_OK);
    ComPtr<IErrorInfo> got;
    ASSERT_EQ(GetErrorInfo(0, got.put()), S_OK);
    EXPECT_EQ(got.get(), e.get());
    EXPECT_EQ(descriptionOf(got.get()), u"IRids : Key FD99 not found ");
    DWORD context = 0;
    got->GetHelpContext(&context);
    EXPECT_EQ(context, 17u);
    EXPECT_EQ(GetErrorInfo(0, got.put()), S_FALSE);
    EXPECT_FALSE(got);

    SetErrorInfo(0, e.get());
    SetErrorInfo(0, nullptr);  // clearing
    EXPECT_EQ(GetErrorInfo(0, got.put()), S_FALSE);
}

TEST(ErrorInfo, OneCurrentObjectPerThread) {
    SetErrorInfo(0, makeError(u"main").get());
    std::u16string seenBefore = u"-", seenAfter;
    std::thread other([&] {
        ComPtr<IErrorInfo> none;
        if (GetErrorInfo(0, none.put()) == S_FALSE) seenBefore.clear();
        SetErrorInfo(0, makeError(u"worker").get());
        ComPtr<IErrorInfo> own;
        GetErrorInfo(0, own.put());
        seenAfter = descriptionOf(own.get());
    });
    other.join();
    EXPECT_EQ(seenBefore, u"");
    EXPECT_EQ(seenAfter, u"worker");
    ComPtr<IErrorInfo> mine;
    ASSERT_EQ(GetErrorInfo(0, mine.put()), S_OK);
    EXPECT_EQ(descriptionOf(mine.get()), u"main");
}

TEST(ErrorInfo, SetErrorInfoHelperFillsTheObject) {
    const IID iid = makeGuid("11111111-2222-3333-4444-555555555555");
    oleaut::setErrorInfo(u"IAdapters : Index 9 not found", u"OruDirEzo.Adapters.1", iid);
    ComPtr<IErrorInfo> e;
    ASSERT_EQ(GetErrorInfo(0, e.put()), S_OK);
    EXPECT_EQ(descriptionOf(e.get()), u"IAdapters : Index 9 not found");
    BSTR source = nullptr, help = nullptr;
    e->GetSource(&source);
    e->GetHelpFile(&help);
    EXPECT_EQ(text(source), u"OruDirEzo.Adapters.1");
    EXPECT_EQ(help, nullptr);
    SysFreeString(source);
    GUID g{};
    e->GetGUID(&g);
    EXPECT_EQ(g, iid);
}

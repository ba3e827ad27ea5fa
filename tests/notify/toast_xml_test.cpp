#include <gtest/gtest.h>

#include <string>

#include "notify/toast.h"

namespace {

// The document as the system receives it: two, four, six, four and two spaces between the
// elements and no line break anywhere.
std::wstring Expected(const std::wstring& text) {
    return L"<toast duration='short'>"
           L"  <visual>"
           L"    <binding template='ToastGeneric'>"
           L"      <text>" +
           text +
           L"</text>"
           L"    </binding>"
           L"  </visual>"
           L"</toast>";
}

TEST(ToastXml, BothMessagesAreInsertedIntoTheTemplateExactly) {
    for (const std::wstring text :
         {L"게임핑이 성공적으로 동작 중입니다.", L"게임핑 동작이 정지되었습니다."}) {
        const std::wstring xml = tvx::ComposeToastXml(text);
        EXPECT_EQ(xml, Expected(text));
        EXPECT_EQ(xml.find(L'\n'), std::wstring::npos);
        EXPECT_EQ(xml.find(L"<text>"), xml.rfind(L"<text>")) << "one text element only";
    }
}

TEST(ToastXml, TextIsInsertedUnchanged) {
    // No escaping, no trimming: the text stands between the tags exactly as given.
    for (const std::wstring text : {L"", L"  a & b < c  ", L"%s %d", L"100%"}) {
        EXPECT_EQ(tvx::ComposeToastXml(text), Expected(text)) << tvx::ComposeToastXml(text).size();
    }
}

}  // namespace

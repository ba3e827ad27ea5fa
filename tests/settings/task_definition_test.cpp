#include "settings/task_definition.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The whole definition for one user and path, as the scheduler is given it.
TEST(TaskDefinition, GoldenText) {
    const std::wstring xml =
        tvx::BuildTaskXml(L"S-1-5-21-1-2-3-1001", L"C:\\Program Files\\Tarnivex\\Tarnivex.exe");
    EXPECT_EQ(xml,
              L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
              L"<Task version=\"1.2\" "
              L"xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\r\n"
              L"  <RegistrationInfo>\r\n"
              L"    <URI>\\Tarnivex</URI>\r\n"
              L"  </RegistrationInfo>\r\n"
              L"  <Triggers>\r\n"
              L"    <LogonTrigger>\r\n"
              L"      <Enabled>true</Enabled>\r\n"
              L"      <UserId>S-1-5-21-1-2-3-1001</UserId>\r\n"
              L"      <Delay>PT30S</Delay>\r\n"
              L"    </LogonTrigger>\r\n"
              L"  </Triggers>\r\n"
              L"  <Principals>\r\n"
              L"    <Principal id=\"Author\">\r\n"
              L"      <UserId>S-1-5-21-1-2-3-1001</UserId>\r\n"
              L"      <LogonType>InteractiveToken</LogonType>\r\n"
              L"      <RunLevel>HighestAvailable</RunLevel>\r\n"
              L"    </Principal>\r\n"
              L"  </Principals>\r\n"
              L"  <Settings>\r\n"
              L"    <MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>\r\n"
              L"    <DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>\r\n"
              L"    <StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>\r\n"
              L"    <StartWhenAvailable>true</StartWhenAvailable>\r\n"
              L"    <ExecutionTimeLimit>PT0S</ExecutionTimeLimit>\r\n"
              L"    <Enabled>true</Enabled>\r\n"
              L"  </Settings>\r\n"
              L"  <Actions Context=\"Author\">\r\n"
              L"    <Exec>\r\n"
              L"      <Command>&quot;C:\\Program Files\\Tarnivex\\Tarnivex.exe&quot;</Command>\r\n"
              L"    </Exec>\r\n"
              L"  </Actions>\r\n"
              L"</Task>\r\n");
}

// Whatever a folder or account name holds, it stays text: nothing closes an element early.
TEST(TaskDefinition, NamesAreEscaped) {
    struct Case {
        const wchar_t* user;
        const wchar_t* path;
        const wchar_t* userText;
        const wchar_t* command;
    };
    for (const Case& c : {
             Case{L"PC\\홍길동", L"C:\\게임\\Tarnivex.exe", L"PC\\홍길동",
                  L"&quot;C:\\게임\\Tarnivex.exe&quot;"},
             Case{L"PC\\O'Brien", L"C:\\A & B\\It's <here>\\Tarnivex.exe", L"PC\\O&apos;Brien",
                  L"&quot;C:\\A &amp; B\\It&apos;s &lt;here&gt;\\Tarnivex.exe&quot;"},
             Case{L"a\"b", L"C:\\</Command><Command>x\\T.exe", L"a&quot;b",
                  L"&quot;C:\\&lt;/Command&gt;&lt;Command&gt;x\\T.exe&quot;"},
         }) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.path)));
        const std::wstring xml = tvx::BuildTaskXml(c.user, c.path);
        EXPECT_NE(xml.find(L"<Command>" + std::wstring(c.command) + L"</Command>"),
                  std::wstring::npos);
        EXPECT_NE(xml.find(L"<UserId>" + std::wstring(c.userText) +
                           L"</UserId>\r\n      "
                           L"<Delay>"),
                  std::wstring::npos);
        size_t commands = 0;
        for (size_t at = xml.find(L"<Command>"); at != std::wstring::npos;
             at = xml.find(L"<Command>", at + 1))
            ++commands;
        EXPECT_EQ(commands, 1u);
    }
}

TEST(TaskDefinition, FileIsUtf16LittleEndianBehindAByteOrderMark) {
    EXPECT_EQ(tvx::TaskXmlFileBytes(L"<a>게</a>"),
              std::string("\xFF\xFE<\0a\0>\0\x8C\xAC<\0/\0a\0>\0", 18));
    EXPECT_EQ(tvx::TaskXmlFileBytes(L""), std::string("\xFF\xFE"));
}

}  // namespace

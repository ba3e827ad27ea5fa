#include "settings/task_definition.h"

#include "framework/xml_text.h"

namespace tvx {

std::wstring BuildTaskXml(std::wstring_view userId, std::wstring_view exePath) {
    const std::wstring user = EscapeXmlText(userId);
    // The scheduler splits an unquoted command at its first space.
    const std::wstring command = EscapeXmlText(L"\"" + std::wstring(exePath) + L"\"");
    std::wstring xml;
    xml += L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n";
    xml +=
        L"<Task version=\"1.2\" "
        L"xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\r\n";
    xml += L"  <RegistrationInfo>\r\n";
    xml += L"    <URI>\\Tarnivex</URI>\r\n";
    xml += L"  </RegistrationInfo>\r\n";
    xml += L"  <Triggers>\r\n";
    xml += L"    <LogonTrigger>\r\n";
    xml += L"      <Enabled>true</Enabled>\r\n";
    xml += L"      <UserId>" + user + L"</UserId>\r\n";
    xml += L"      <Delay>PT30S</Delay>\r\n";
    xml += L"    </LogonTrigger>\r\n";
    xml += L"  </Triggers>\r\n";
    xml += L"  <Principals>\r\n";
    xml += L"    <Principal id=\"Author\">\r\n";
    xml += L"      <UserId>" + user + L"</UserId>\r\n";
    xml += L"      <LogonType>InteractiveToken</LogonType>\r\n";
    xml += L"      <RunLevel>HighestAvailable</RunLevel>\r\n";
    xml += L"    </Principal>\r\n";
    xml += L"  </Principals>\r\n";
    xml += L"  <Settings>\r\n";
    xml += L"    <MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>\r\n";
    xml += L"    <DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>\r\n";
    xml += L"    <StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>\r\n";
    xml += L"    <StartWhenAvailable>true</StartWhenAvailable>\r\n";
    xml += L"    <ExecutionTimeLimit>PT0S</ExecutionTimeLimit>\r\n";
    xml += L"    <Enabled>true</Enabled>\r\n";
    xml += L"  </Settings>\r\n";
    xml += L"  <Actions Context=\"Author\">\r\n";
    xml += L"    <Exec>\r\n";
    xml += L"      <Command>" + command + L"</Command>\r\n";
    xml += L"    </Exec>\r\n";
    xml += L"  </Actions>\r\n";
    xml += L"</Task>\r\n";
    return xml;
}

std::string TaskXmlFileBytes(std::wstring_view xml) {
    std::string bytes = "\xFF\xFE";
    bytes.reserve(2 + xml.size() * 2);
    for (const wchar_t c : xml) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>((c >> 8) & 0xFF);
    }
    return bytes;
}

}  // namespace tvx

#include "notify/toast.h"

#include <string>
#include <string_view>

namespace tvx {

namespace {

// Short duration, the generic template and one text element. The runs of spaces between the
// elements are part of the document as it has always been sent: keep them.
constexpr std::wstring_view kTemplateHead =
    L"<toast duration='short'>  <visual>    <binding template='ToastGeneric'>      <text>";
constexpr std::wstring_view kTemplateTail = L"</text>    </binding>  </visual></toast>";

}  // namespace

std::wstring ComposeToastXml(std::wstring_view text) {
    // Inserted as it stands, without escaping: the program's own two messages need none.
    std::wstring xml;
    xml.reserve(kTemplateHead.size() + text.size() + kTemplateTail.size());
    xml.append(kTemplateHead).append(text).append(kTemplateTail);
    return xml;
}

}  // namespace tvx

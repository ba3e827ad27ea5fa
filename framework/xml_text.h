// Text placed inside an XML document the program writes (a toast, a task definition).
#pragma once

#include <string>
#include <string_view>

namespace tvx {

// The text with &, <, >, " and ' written as their entities, so that no name or path can end an
// element or an attribute.
std::wstring EscapeXmlText(std::wstring_view text);

}  // namespace tvx

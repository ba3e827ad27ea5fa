// A per-user REG_SZ value read with a default. The value is read into 260 UTF-16 units while a
// data size of 260 bytes is stated, so at most 129 characters and the terminator fit; a missing
// key or value, any failed query, a longer value or another type gives the default text.
#pragma once

#include <string>

namespace tvx {

std::wstring ReadUserText(const wchar_t* keyPath, const wchar_t* valueName, const wchar_t* defaultText);

}  // namespace tvx

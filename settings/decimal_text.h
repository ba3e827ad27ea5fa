// Reading a number from stored or received text, the one rule used everywhere: leading white
// space, an optional sign, decimal digits up to the first other character; no digits reads as
// 0, and a value beyond the 32-bit signed range is clamped to its limit.
#pragma once

#include <cstdint>
#include <string_view>

namespace tvx {

int32_t ReadDecimal(std::wstring_view text);

}  // namespace tvx

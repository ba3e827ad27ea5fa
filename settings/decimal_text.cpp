#include "settings/decimal_text.h"

#include <limits>

namespace tvx {

namespace {
bool IsSpace(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }
}  // namespace

int32_t ReadDecimal(std::wstring_view text) {
    size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }
    // Accumulate in 64 bits and stop growing once past the limit, so any length is safe.
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    int64_t value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        if (value <= kLimit) value = value * 10 + (text[i] - L'0');
    }
    if (negative) {
        value = -value;
        if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    } else if (value > std::numeric_limits<int32_t>::max()) {
        return std::numeric_limits<int32_t>::max();
    }
    return static_cast<int32_t>(value);
}

}  // namespace tvx

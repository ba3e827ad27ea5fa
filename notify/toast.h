// The short system toast that confirms START and STOP, shown under the identity "Tarnivex".
#pragma once

#include <string>
#include <string_view>

namespace tvx {

inline constexpr wchar_t kToastAppId[] = L"Tarnivex";

// Runs on a pass's worker thread; every failure is silent.
void ShowToast(const wchar_t* text);

// The toast document for a text (inserted unchanged).
std::wstring ComposeToastXml(std::wstring_view text);


}  // namespace tvx

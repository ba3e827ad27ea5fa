// Writing the per-user records of the online sequence (the launch day, the accepted version).
#pragma once

namespace tvx {

// Creates or opens HKCU\keyPath and stores the text as REG_SZ with its terminator. False when
// the key cannot be created or the value not set.
bool WriteUserText(const wchar_t* keyPath, const wchar_t* valueName, const wchar_t* text);

}  // namespace tvx

#include "settings/settings_store.h"

#include "framework/user_text.h"

namespace tvx {

BOOL SettingTextIsOn(const std::wstring& text) { return text == L"true" ? TRUE : FALSE; }

Settings LoadSettings() {
    Settings s;
    s.autoRun = SettingTextIsOn(ReadUserText(kSettingsKey, kAutoRunValue, L"true"));
    s.autoPing = SettingTextIsOn(ReadUserText(kSettingsKey, kAutoPingValue, L"false"));
    s.memory = SettingTextIsOn(ReadUserText(kSettingsKey, kMemoryValue, L"true"));
    return s;
}

}  // namespace tvx

// Holder of a loaded menu: destroys the menu it holds when a new one is attached and when the
// holder itself goes away.
#pragma once

#include <windows.h>

#include <utility>

class CMenu {
public:
    CMenu() = default;
    ~CMenu() { DestroyMenu(); }
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    // Loads a menu resource of the program and takes it over; false when it is missing.
    bool LoadMenu(UINT id) {
        DestroyMenu();
        m_hMenu = ::LoadMenuW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id));
        return m_hMenu != nullptr;
    }
    HMENU GetSafeHmenu() const { return m_hMenu; }
    // The popup at a position; owned by this menu, so never destroyed separately.
    HMENU GetSubMenu(int pos) const { return m_hMenu ? ::GetSubMenu(m_hMenu, pos) : nullptr; }
    void DestroyMenu() {
        if (m_hMenu) ::DestroyMenu(std::exchange(m_hMenu, nullptr));
    }

private:
    HMENU m_hMenu = nullptr;
};

// The framework's message box: caption is the application name (the executable's base name),
// owner the main window when called on its thread.
#pragma once

#include <windows.h>

#include <string>

// The executable's file name without folder and extension ("Tarnivex" for Tarnivex.exe).
std::wstring AfxGetAppName();

// Shows the box and returns the button pressed. Like the framework's, it adds the exclamation
// icon to OK and OK/Cancel boxes and the question icon to Yes/No ones when no icon is given.
int AfxMessageBox(const std::wstring& text, UINT type = MB_OK);

// Window that owns message boxes raised on its thread (set by the main dialog).
void AfxSetMainWnd(HWND wnd);
HWND AfxGetMainWnd();

namespace tvx {
// Lets a test answer message boxes instead of a person. Receives text and full type.
using MessageBoxHook = int (*)(const std::wstring& text, UINT type);
void SetMessageBoxHook(MessageBoxHook hook);

// The answer a box of this type gives when it is dismissed without a choice: Cancel where it
// has one, else No, else OK.
int CancelAnswer(UINT type);

// For the program's end, on the thread that shows the boxes: every box of ours open on it is
// ended with its cancel answer, which is what its AfxMessageBox returns (each box's loop ends
// once control is back in it). A box still being made ends as soon as it exists.
void CloseOpenMessageBoxes();
}  // namespace tvx

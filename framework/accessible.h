#pragma once
// What a screen reader is told about a window whose class the system does not
// know: its name and role, answered to WM_GETOBJECT.
#include <windows.h>

namespace zeph {

// The role a screen reader hears for a push button (ROLE_SYSTEM_PUSHBUTTON).
constexpr long kRolePushButton = 0x2b;

// The answer to WM_GETOBJECT(wp, lp): the system's own object for the window's
// client area, with name in place of the window text and, unless role is 0,
// role in place of the system's. 0 when the system has no such object (oleacc
// missing), or lp asks for another part: then default processing answers.
LRESULT AnswerGetObject(HWND hwnd, WPARAM wp, LPARAM lp, const char* name, long role);

// Gives a standard control name (a literal, or text that outlives it) as what a
// screen reader calls it, by subclassing it for WM_GETOBJECT.
void SetAccessibleName(HWND control, const char* name);

}  // namespace zeph

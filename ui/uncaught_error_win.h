#pragma once
// The handler of errors that a step raises instead of returning a result: the run stops, the window
// stays open.
#include <windows.h>

#include <string>

namespace mvn {

// A box with the error icon and "OK" under the application title, the message with its full stop.
void ShowUncaughtError(HWND owner, std::wstring message);

// The text of a std::exception, which is narrow and in the ANSI code page.
std::wstring WidenExceptionText(const char* text);

}  // namespace mvn

#pragma once
// The modal message dialogs, built from standard controls (an icon, one static text, push buttons)
// so that screen readers and UI automation read them, and so that the button texts are ours on any
// language of Windows, which a platform message box does not allow.
#include <windows.h>

#include <string_view>

namespace mvn {

// "Fehler", error icon, "OK".
void ShowError(HWND owner, std::wstring_view text);

// "Bestätigen", question icon, "&Ja" (default) and "&Nein". True only for "&Ja"; Esc, the close
// button and Alt+F4 count as no.
bool AskYesNo(HWND owner, std::wstring_view text);

// An error icon and "OK" under a caption of the caller's choosing.
void ShowErrorBox(HWND owner, std::wstring_view caption, std::wstring_view text);

}  // namespace mvn

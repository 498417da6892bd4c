#pragma once
// REd_Ergebnis: the read-only rich edit that shows the progress lines of a run.
#include <windows.h>

#include <string_view>

namespace mvn {

class ResultLog {
public:
    // Msftedit.dll must be loaded. waitCursorActive tells the control to leave the application's
    // hourglass alone; it must outlive the control.
    bool Create(HWND parent, int id, const RECT& bounds, HFONT font, const bool* waitCursorActive);
    HWND handle() const noexcept { return window_; }

    void AppendLine(std::wstring_view text);
    void Clear();

private:
    HWND window_ = nullptr;  // a child: the parent window destroys it
    bool hasLines_ = false;
};

}  // namespace mvn

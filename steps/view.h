#pragma once
// What the run sequence needs from the main window. The Win32 window implements it; native tests
// use a recording fake.
#include <string>

namespace mvn {

class View {
public:
    virtual ~View() = default;
    virtual void AddLogLine(const std::wstring& text) = 0;
    virtual void SetStatusText(const std::wstring& text) = 0;
    virtual void ShowError(const std::wstring& text) = 0;
    virtual bool AskYesNo(const std::wstring& text) = 0;
    virtual void ProcessPendingMessages() = 0;
    virtual void BringToFront() = 0;
    virtual void CollapseLog() = 0;
    virtual void ExpandLog() = 0;
    virtual void Pause(unsigned milliseconds) = 0;
    // Hourglass for the whole application while a long step works; Restore puts back what was set.
    virtual void SetWaitCursor() = 0;
    virtual void RestoreCursor() = 0;
    // Ends the process at once. Implementations never return (the fake throws).
    [[noreturn]] virtual void EndProcess(int exitCode) = 0;
};

}  // namespace mvn

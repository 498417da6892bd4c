// The operations that the run sequence uses on the main window, and the geometry they change.
#include <windows.h>

#include <commctrl.h>

#include <utility>

#include "ui/dialogs_win.h"
#include "ui/fhaupt_win.h"
#include "ui/message_pump_win.h"

namespace mvn {
namespace {

// Moves the controls in one step and has each repaint itself whole: when a button slides over the
// old place of the other, copied pixels would otherwise show one button's caption on the other.
class DeferredPlacement {
public:
    explicit DeferredPlacement(int count) noexcept : positions_(::BeginDeferWindowPos(count)) {}
    DeferredPlacement(const DeferredPlacement&) = delete;
    DeferredPlacement& operator=(const DeferredPlacement&) = delete;
    ~DeferredPlacement() {
        if (positions_) ::EndDeferWindowPos(positions_);
    }

    void Place(HWND control, int left, int top, int width, int height) noexcept {
        constexpr UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS;
        if (positions_)
            positions_ = ::DeferWindowPos(positions_, control, nullptr, left, top, width, height, flags);
        // DeferWindowPos has freed its list when it fails; the remaining controls move singly.
        if (!positions_) ::SetWindowPos(control, nullptr, left, top, width, height, flags);
    }

private:
    HDWP positions_;
};

int HeightOf(HWND control) {
    RECT bounds{};
    ::GetWindowRect(control, &bounds);
    return bounds.bottom - bounds.top;
}

int BottomInParent(HWND control) {
    RECT bounds{};
    ::GetWindowRect(control, &bounds);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(control), reinterpret_cast<POINT*>(&bounds), 2);
    return bounds.bottom;
}

}  // namespace

// Buttons keep their distance to the top and right edges; the log and the status bar span the width
// and are docked to the bottom edge in the order that the designed layout gives them.
void MainWindow::LayOut() {
    if (!BtAbbruch || !BtWeiter || !REd_Ergebnis.handle() || !SBStatus) return;
    RECT client{};
    ::GetClientRect(FHaupt.get(), &client);
    const int width = client.right;
    DeferredPlacement placement(4);
    for (const auto& [button, design] :
         {std::pair{BtAbbruch, layout_.btAbbruch}, {BtWeiter, layout_.btWeiter}}) {
        placement.Place(button, width - scale_(layout_.clientWidth - design.left), scale_(design.top),
                        scale_(design.width), scale_(design.height));
    }
    const int statusHeight = scale_(layout_.statusBar.height);
    const bool statusAboveLog = layout_.statusBar.top < layout_.logEdit.top;
    const int logTop =
        statusAboveLog ? client.bottom - logHeight_ : client.bottom - statusHeight - logHeight_;
    const int statusTop = statusAboveLog ? logTop - statusHeight : client.bottom - statusHeight;
    placement.Place(SBStatus, 0, statusTop, width, statusHeight);
    placement.Place(REd_Ergebnis.handle(), 0, logTop, width, logHeight_);
}

void MainWindow::CollapseLog() {
    REd_Ergebnis.Clear();
    ::ShowWindow(REd_Ergebnis.handle(), SW_HIDE);
    logHeight_ = 0;
    LayOut();
    if (layout_.heightRule == HeightRule::ClientFromButtons) {
        SetClientHeight(BottomInParent(BtAbbruch) + HeightOf(SBStatus) + scale_(kCollapseExtra));
        SavedClientHeight = ClientHeight();
    } else {
        SetOuterHeight(scale_(kCollapsedOuterHeight));
    }
}

void MainWindow::ExpandLog() {
    if (layout_.heightRule == HeightRule::ClientFromButtons) {
        logHeight_ = scale_(kLogHeight);
        SetClientHeight(SavedClientHeight + logHeight_);
    } else {
        SetOuterHeight(scale_(kExpandedOuterHeight));
        logHeight_ = scale_(kLogHeight);
    }
    LayOut();
    ::ShowWindow(REd_Ergebnis.handle(), SW_SHOW);
}

// The width never changes, and the top-left corner stays where it is.
void MainWindow::SetClientHeight(int height) {
    RECT outer{}, client{};
    ::GetWindowRect(FHaupt.get(), &outer);
    ::GetClientRect(FHaupt.get(), &client);
    SetOuterHeight(height + (outer.bottom - outer.top) - client.bottom);
}

void MainWindow::SetOuterHeight(int height) {
    RECT outer{};
    ::GetWindowRect(FHaupt.get(), &outer);
    ::SetWindowPos(FHaupt.get(), nullptr, 0, 0, outer.right - outer.left, height,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int MainWindow::ClientHeight() const {
    RECT client{};
    ::GetClientRect(FHaupt.get(), &client);
    return client.bottom;
}

void MainWindow::AddLogLine(const std::wstring& text) {
    REd_Ergebnis.AppendLine(text);
}

void MainWindow::SetStatusText(const std::wstring& text) {
    ::SendMessageW(SBStatus, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void MainWindow::ShowError(const std::wstring& text) {
    mvn::ShowError(FHaupt.get(), text);
}

bool MainWindow::AskYesNo(const std::wstring& text) {
    return mvn::AskYesNo(FHaupt.get(), text);
}

void MainWindow::ProcessPendingMessages() {
    PumpPendingMessages(FHaupt.get());
}

void MainWindow::BringToFront() {
    ::SetForegroundWindow(FHaupt.get());
}

void MainWindow::Pause(unsigned milliseconds) {
    ::Sleep(milliseconds);
}

// The hourglass stays while the mouse moves: WM_SETCURSOR of the window and of the log keeps it.
void MainWindow::SetWaitCursor() {
    if (waitCursorActive_) return;
    waitCursorActive_ = true;
    cursorBeforeWait_ = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
}

void MainWindow::RestoreCursor() {
    if (!waitCursorActive_) return;
    waitCursorActive_ = false;
    ::SetCursor(cursorBeforeWait_);
}

void MainWindow::EndProcess(int exitCode) {
    ::ExitProcess(static_cast<UINT>(exitCode));
}

}  // namespace mvn

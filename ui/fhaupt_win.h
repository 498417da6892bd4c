#pragma once
// FHaupt, the main window of class TFHaupt: the compact window with "Abbruch" and "Weiter" that grows
// to show the result log when a run starts.
#include <windows.h>

#include "platform/unique_handle_win.h"
#include "steps/view.h"
#include "ui/dpi_win.h"
#include "ui/result_log_win.h"
#include "ui/window_layout.h"

namespace mvn {

class WindowEvents;

class MainWindow final : public View {
public:
    MainWindow(HINSTANCE instance, const WindowLayout& layout);
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // The events go to the updater, which needs this object to exist first.
    void Bind(WindowEvents& updater) noexcept { updater_ = &updater; }
    // The window and its controls at the designed size, still hidden.
    bool Create();
    // Places the window at its first position, shows it and gives BtWeiter the focus.
    void ShowFirstTime();
    HWND handle() const noexcept { return FHaupt.get(); }

    void AddLogLine(const std::wstring& text) override;
    void SetStatusText(const std::wstring& text) override;
    void ShowError(const std::wstring& text) override;
    bool AskYesNo(const std::wstring& text) override;
    void ProcessPendingMessages() override;
    void BringToFront() override;
    void CollapseLog() override;
    void ExpandLog() override;
    void Pause(unsigned milliseconds) override;
    void SetWaitCursor() override;
    void RestoreCursor() override;
    [[noreturn]] void EndProcess(int exitCode) override;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    bool CreateControls();
    HWND CreateButton(int id, const wchar_t* caption, const ControlRect& design, HIMAGELIST glyph);
    HWND CreateStatusBar();
    bool CreateResultLog();
    void LayOut();
    void OnCommand(WORD id, WORD code);
    void BtWeiterClick();
    void BtAbbruchClick();
    void MakeDefaultButton(int id);
    bool OnSetCursor(LPARAM lParam);
    void OnActivate(WPARAM wParam);
    void SetClientHeight(int height);
    void SetOuterHeight(int height);
    int ClientHeight() const;

    HINSTANCE instance_;
    const WindowLayout& layout_;
    const DpiScale scale_;
    WindowEvents* updater_ = nullptr;

    UniqueFont windowFont_;
    UniqueFont buttonFont_;
    UniqueFont logFont_;
    UniqueImageList ILButton;
    UniqueImageList abbruchGlyph_;  // a button takes a list per button; its single image serves all states
    UniqueImageList weiterGlyph_;

    HWND BtAbbruch = nullptr;  // the controls are children: FHaupt destroys them
    HWND BtWeiter = nullptr;
    ResultLog REd_Ergebnis;
    HWND SBStatus = nullptr;

    int logHeight_ = 0;
    int SavedClientHeight = 0;
    int defaultButtonId_ = IDOK;
    HWND focusBeforeDeactivation_ = nullptr;
    bool waitCursorActive_ = false;
    HCURSOR cursorBeforeWait_ = nullptr;

    UniqueWindow FHaupt;  // last, so that it goes before the fonts and glyphs that its controls use
};

}  // namespace mvn

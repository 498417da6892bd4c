#include "ui/fhaupt_win.h"

#include <commctrl.h>

#include <exception>

#include "platform/owner_window_win.h"
#include "platform/step_error.h"
#include "ui/glyphs_win.h"
#include "ui/screen_area_win.h"
#include "ui/uncaught_error_win.h"
#include "ui/window_events.h"

namespace mvn {
namespace {

constexpr wchar_t kWindowClass[] = L"TFHaupt";
constexpr int kLogId = 3;
constexpr int kStatusId = 4;
constexpr int kGlyphEdge = 16;
constexpr int kGlyphRightMargin = 4;

struct FrameStyle {
    DWORD style;
    DWORD extendedStyle;
};

FrameStyle StyleOf(FrameKind frame) {
    // WS_EX_APPWINDOW: a taskbar button of its own in either frame.
    if (frame == FrameKind::Resizable) return {WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, WS_EX_APPWINDOW};
    // A caption without WS_SYSMENU has neither system menu nor title-bar buttons.
    return {WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN,
            WS_EX_APPWINDOW | WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE};
}

UniqueFont Tahoma(int height, BYTE charset) {
    return UniqueFont{::CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, charset,
                                    OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                    DEFAULT_PITCH | FF_DONTCARE, L"Tahoma")};
}

// BCM_SETIMAGELIST reads several images of a list as the button's states, so each button gets a
// list that holds its one glyph only.
UniqueImageList SingleGlyph(HIMAGELIST glyphs, int index) {
    UniqueImageList single{::ImageList_Duplicate(glyphs)};
    if (!single) return single;
    for (int i = ::ImageList_GetImageCount(single.get()) - 1; i >= 0; --i) {
        if (i != index) ::ImageList_Remove(single.get(), i);
    }
    return single;
}

bool RegisterWindowClass(HINSTANCE instance, WNDPROC procedure) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    windowClass.lpszClassName = kWindowClass;
    return ::RegisterClassExW(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

MainWindow::MainWindow(HINSTANCE instance, const WindowLayout& layout)
    : instance_(instance), layout_(layout), scale_(DpiScale::OfScreen()) {}

bool MainWindow::Create() {
    if (!RegisterWindowClass(instance_, WindowProc)) return false;
    windowFont_ = Tahoma(scale_(-11), DEFAULT_CHARSET);
    buttonFont_ = Tahoma(scale_(-13), DEFAULT_CHARSET);
    logFont_ = Tahoma(scale_(-11), ANSI_CHARSET);
    ILButton = CreateButtonGlyphs(scale_(kGlyphEdge));
    if (ILButton) {
        abbruchGlyph_ = SingleGlyph(ILButton.get(), kGlyphCross);
        weiterGlyph_ = SingleGlyph(ILButton.get(), kGlyphArrow);
    }

    const FrameStyle frame = StyleOf(layout_.frame);
    RECT outer{0, 0, scale_(layout_.clientWidth), scale_(layout_.clientHeight)};
    ::AdjustWindowRectEx(&outer, frame.style, FALSE, frame.extendedStyle);
    const std::wstring title(layout_.title);
    // WindowProc takes the handle into FHaupt at WM_NCCREATE.
    ::CreateWindowExW(frame.extendedStyle, kWindowClass, title.c_str(), frame.style, 0, 0,
                      outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr, instance_, this);
    if (!FHaupt) return false;

    // AdjustWindowRectEx only estimates the frame; the window itself knows it exactly.
    RECT window{}, client{};
    ::GetWindowRect(FHaupt.get(), &window);
    ::GetClientRect(FHaupt.get(), &client);
    ::SetWindowPos(FHaupt.get(), nullptr, 0, 0,
                   scale_(layout_.clientWidth) + (window.right - window.left) - client.right,
                   scale_(layout_.clientHeight) + (window.bottom - window.top) - client.bottom,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return CreateControls();
}

bool MainWindow::CreateControls() {
    logHeight_ = scale_(layout_.logEdit.height);
    // Creation order is the tab order.
    if (layout_.logFirstInTabOrder && !CreateResultLog()) return false;
    BtAbbruch = CreateButton(IDCANCEL, L"Abbruch", layout_.btAbbruch, abbruchGlyph_.get());
    BtWeiter = CreateButton(IDOK, L"Weiter", layout_.btWeiter, weiterGlyph_.get());
    if (!BtAbbruch || !BtWeiter) return false;
    if (!layout_.logFirstInTabOrder && !CreateResultLog()) return false;
    SBStatus = CreateStatusBar();
    if (!SBStatus) return false;
    LayOut();
    return true;
}

HWND MainWindow::CreateButton(int id, const wchar_t* caption, const ControlRect& design, HIMAGELIST glyph) {
    // BS_NOTIFY reports focus changes, which move the default-button role as in a dialog box.
    const DWORD kind = id == IDOK ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
    const HWND button = ::CreateWindowExW(
        0, WC_BUTTONW, caption, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_NOTIFY | kind, scale_(design.left),
        scale_(design.top), scale_(design.width), scale_(design.height), FHaupt.get(),
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
    if (!button) return nullptr;
    ::SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(buttonFont_.get()), FALSE);
    if (glyph) {
        BUTTON_IMAGELIST images{glyph, RECT{0, 0, scale_(kGlyphRightMargin), 0},
                                BUTTON_IMAGELIST_ALIGN_RIGHT};
        ::SendMessageW(button, BCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(&images));
    }
    return button;
}

bool MainWindow::CreateResultLog() {
    const ControlRect& design = layout_.logEdit;
    const RECT bounds{scale_(design.left), scale_(design.top), scale_(design.left + design.width),
                      scale_(design.top + design.height)};
    return REd_Ergebnis.Create(FHaupt.get(), kLogId, bounds, logFont_.get(), &waitCursorActive_);
}

HWND MainWindow::CreateStatusBar() {
    // Placed by LayOut, not by the control itself: in one layout the log lies below it.
    const ControlRect& design = layout_.statusBar;
    const HWND bar = ::CreateWindowExW(
        0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | CCS_NOPARENTALIGN | CCS_NORESIZE,
        scale_(design.left), scale_(design.top), scale_(design.width), scale_(design.height), FHaupt.get(),
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kStatusId)), instance_, nullptr);
    if (!bar) return nullptr;
    ::SendMessageW(bar, WM_SETFONT, reinterpret_cast<WPARAM>(windowFont_.get()), FALSE);
    int panelEdges[] = {scale_(layout_.statusPanelWidth)};
    ::SendMessageW(bar, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(panelEdges));
    return bar;
}

void MainWindow::ShowFirstTime() {
    if (!FHaupt) return;
    RECT outer{};
    ::GetWindowRect(FHaupt.get(), &outer);
    const RECT area =
        layout_.placement == Placement::DesktopCentre ? VirtualDesktopArea() : WorkAreaOf(FHaupt.get());
    const POINT origin = CentredOrigin(area, outer.right - outer.left, outer.bottom - outer.top);
    ::SetWindowPos(FHaupt.get(), nullptr, origin.x, origin.y, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::ShowWindow(FHaupt.get(), SW_SHOWNORMAL);
    ::SetFocus(BtWeiter);
}

LRESULT CALLBACK MainWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->FHaupt.reset(window);
    }
    auto* self = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return ::DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->FHaupt.release();
        if (OwnerWindow() == window) SetOwnerWindow(nullptr);
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    return self->Handle(message, wParam, lParam);
}

LRESULT MainWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND window = FHaupt.get();
    switch (message) {
        case WM_SIZE:
            LayOut();
            return 0;
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case DM_GETDEFID:
            // IsDialogMessageW asks which button Enter presses.
            return MAKELRESULT(defaultButtonId_, DC_HASDEFID);
        case WM_SETCURSOR:
            if (OnSetCursor(lParam)) return TRUE;
            break;
        case WM_ACTIVATE:
            OnActivate(wParam);
            break;
        case WM_SETFOCUS:
            if (focusBeforeDeactivation_ && ::IsWindow(focusBeforeDeactivation_)) {
                ::SetFocus(focusBeforeDeactivation_);
                return 0;
            }
            break;
        case WM_CLOSE:
            // Only the run logic knows whether closing may end the process with exit code 0.
            if (updater_ && !updater_->FormCloseQuery()) return 0;
            ::DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void MainWindow::OnCommand(WORD id, WORD code) {
    switch (code) {
        case BN_CLICKED:
            if (id == IDOK) BtWeiterClick();
            if (id == IDCANCEL) BtAbbruchClick();
            return;
        case BN_SETFOCUS:
            MakeDefaultButton(id);
            return;
        case BN_KILLFOCUS:
            MakeDefaultButton(IDOK);
            return;
        default:
            return;
    }
}

void MainWindow::BtWeiterClick() {
    if (!updater_) return;
    // Nothing may unwind through DispatchMessageW; an error that a step raises ends the run here and
    // leaves the window open and enlarged.
    try {
        updater_->BtWeiterClick();
    } catch (const StepError& error) {
        RestoreCursor();
        ShowUncaughtError(FHaupt.get(), error.message());
    } catch (const std::exception& error) {
        RestoreCursor();
        ShowUncaughtError(FHaupt.get(), WidenExceptionText(error.what()));
    }
}

void MainWindow::BtAbbruchClick() {
    if (updater_) updater_->BtAbbruchClick();
}

// As a dialog box does: a focused push button is the one that Enter presses, otherwise BtWeiter.
void MainWindow::MakeDefaultButton(int id) {
    if (id != IDOK && id != IDCANCEL) id = IDOK;
    if (id == defaultButtonId_) return;
    defaultButtonId_ = id;
    for (const HWND button : {BtWeiter, BtAbbruch}) {
        const auto style = static_cast<DWORD>(::GetWindowLongW(button, GWL_STYLE));
        const DWORD kind = ::GetDlgCtrlID(button) == id ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        // The whole low word, so that BS_NOTIFY stays whichever way BM_SETSTYLE treats it.
        ::SendMessageW(button, BM_SETSTYLE, (LOWORD(style) & ~static_cast<DWORD>(BS_TYPEMASK)) | kind, TRUE);
    }
}

bool MainWindow::OnSetCursor(LPARAM lParam) {
    if (!waitCursorActive_ || LOWORD(lParam) != HTCLIENT) return false;
    ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
    return true;
}

// A plain window gives the focus to itself when it is activated again; keep the control that had it.
void MainWindow::OnActivate(WPARAM wParam) {
    if (LOWORD(wParam) != WA_INACTIVE) return;
    const HWND focus = ::GetFocus();
    focusBeforeDeactivation_ = focus && ::IsChild(FHaupt.get(), focus) ? focus : nullptr;
}

}  // namespace mvn

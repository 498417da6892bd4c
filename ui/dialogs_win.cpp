#include "ui/dialogs_win.h"

#include <algorithm>
#include <span>

#include "platform/unique_handle_win.h"
#include "ui/dialog_template_win.h"
#include "ui/dpi_win.h"
#include "ui/screen_area_win.h"

namespace mvn {
namespace {

constexpr WORD kIconId = 100;
constexpr WORD kTextId = 101;

struct DialogButton {
    WORD id;
    std::wstring_view caption;
};

struct MessageDialog {
    std::wstring_view caption;
    const wchar_t* icon;  // a system icon, IDI_*
    UINT sound;           // MessageBeep type
    std::wstring_view text;
    std::span<const DialogButton> buttons;  // the first is the default button
    int dismissResult;                      // Esc, the close button, Alt+F4
};

struct DialogState {
    const MessageDialog& dialog;
    UniqueFont font;
};

// The flags under which the static control draws SS_LEFT | SS_NOPREFIX | SS_EDITCONTROL text, so
// that the measured size is the drawn size.
constexpr UINT kTextFormat = DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX | DT_EXPANDTABS;

struct Extent {
    int width;
    int height;
};

Extent MeasureText(HDC dc, std::wstring_view text, int maxWidth, UINT format) {
    RECT bounds{0, 0, maxWidth, 0};
    ::DrawTextW(dc, text.data(), static_cast<int>(text.size()), &bounds, format | DT_CALCRECT);
    return Extent{bounds.right - bounds.left, bounds.bottom - bounds.top};
}

UniqueFont MessageFont() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) return UniqueFont{};
    return UniqueFont{::CreateFontIndirectW(&metrics.lfMessageFont)};
}

void MoveControl(HWND dialog, WORD id, int left, int top, int width, int height) {
    ::SetWindowPos(::GetDlgItem(dialog, id), nullptr, left, top, width, height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

void LayOut(HWND dialog, const MessageDialog& content, HFONT font) {
    const DpiScale scale = DpiScale::OfScreen();
    const int margin = scale(12);
    const int iconGap = scale(12);
    const int buttonHeight = scale(23);
    const int buttonGap = scale(6);
    const int iconWidth = ::GetSystemMetrics(SM_CXICON);
    const int iconHeight = ::GetSystemMetrics(SM_CYICON);
    const HWND owner = ::GetWindow(dialog, GW_OWNER);
    const RECT work = WorkAreaOf(owner ? owner : dialog);

    const int roomForText = (work.right - work.left) - 2 * margin - iconWidth - iconGap - scale(48);
    const int maxTextWidth = std::max(scale(160), std::min(scale(480), roomForText));

    const WindowDC dc(dialog);
    const ScopedSelect useFont(dc.get(),
                               font ? static_cast<HGDIOBJ>(font) : ::GetStockObject(DEFAULT_GUI_FONT));
    const Extent text = MeasureText(dc.get(), content.text, maxTextWidth, kTextFormat);
    int buttonsWidth = 0;
    int buttonWidths[4] = {};
    const std::size_t buttonCount = std::min<std::size_t>(content.buttons.size(), std::size(buttonWidths));
    for (std::size_t i = 0; i < buttonCount; ++i) {
        const Extent caption = MeasureText(dc.get(), content.buttons[i].caption, 0, DT_SINGLELINE);
        buttonWidths[i] = std::max(scale(75), caption.width + scale(16));
        buttonsWidth += buttonWidths[i] + (i > 0 ? buttonGap : 0);
    }

    const int contentHeight = std::max(iconHeight, text.height);
    const int clientWidth =
        std::max(margin + iconWidth + iconGap + text.width, margin + buttonsWidth) + margin;
    const int buttonsTop = margin + contentHeight + margin;
    const int clientHeight = buttonsTop + buttonHeight + margin;

    MoveControl(dialog, kIconId, margin, margin, iconWidth, iconHeight);
    const int textTop = margin + (text.height < iconHeight ? (iconHeight - text.height) / 2 : 0);
    MoveControl(dialog, kTextId, margin + iconWidth + iconGap, textTop, text.width, text.height);
    int left = clientWidth - margin - buttonsWidth;
    for (std::size_t i = 0; i < buttonCount; ++i) {
        MoveControl(dialog, content.buttons[i].id, left, buttonsTop, buttonWidths[i], buttonHeight);
        left += buttonWidths[i] + buttonGap;
    }

    RECT frame{0, 0, clientWidth, clientHeight};
    ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongW(dialog, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongW(dialog, GWL_EXSTYLE)));
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const POINT origin = CentredOrigin(work, width, height);
    ::SetWindowPos(dialog, nullptr, origin.x, origin.y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Initialise(HWND dialog, DialogState& state) {
    const MessageDialog& content = state.dialog;
    state.font = MessageFont();
    if (state.font) {
        for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
            ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(state.font.get()), FALSE);
        }
    }
    ::SendDlgItemMessageW(dialog, kIconId, STM_SETICON,
                          reinterpret_cast<WPARAM>(::LoadIconW(nullptr, content.icon)), 0);
    LayOut(dialog, content, state.font.get());
    const WORD defaultId = content.buttons.front().id;
    ::SendMessageW(dialog, DM_SETDEFID, defaultId, 0);
    ::SetFocus(::GetDlgItem(dialog, defaultId));
    ::MessageBeep(content.sound);
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    switch (message) {
        case WM_INITDIALOG: {
            auto* state = reinterpret_cast<DialogState*>(lParam);
            ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            Initialise(dialog, *state);
            return FALSE;  // the focus has been set
        }
        case WM_COMMAND: {
            const auto* state = reinterpret_cast<const DialogState*>(::GetWindowLongPtrW(dialog, DWLP_USER));
            if (!state || HIWORD(wParam) != BN_CLICKED) return FALSE;
            const WORD id = LOWORD(wParam);
            // The dialog manager reports Esc, the close button and Alt+F4 as IDCANCEL.
            if (id == IDCANCEL) {
                ::EndDialog(dialog, state->dialog.dismissResult);
                return TRUE;
            }
            for (const DialogButton& button : state->dialog.buttons) {
                if (button.id == id) {
                    ::EndDialog(dialog, id);
                    return TRUE;
                }
            }
            return FALSE;
        }
        default:
            return FALSE;
    }
}

int RunMessageDialog(HWND owner, const MessageDialog& content) {
    // An owned window has no taskbar button; while the owner is not yet visible the dialog needs
    // one of its own, or it is lost behind other windows.
    const DWORD extendedStyle = owner && ::IsWindowVisible(owner) ? 0 : WS_EX_APPWINDOW;
    DialogTemplate layout(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFOREGROUND,
                          extendedStyle, content.caption);
    layout.AddControl(ControlClass::Static, kIconId, SS_ICON, L"");
    layout.AddControl(ControlClass::Static, kTextId, SS_LEFT | SS_NOPREFIX | SS_EDITCONTROL, content.text);
    bool first = true;
    for (const DialogButton& button : content.buttons) {
        const DWORD kind = first ? (BS_DEFPUSHBUTTON | WS_GROUP) : BS_PUSHBUTTON;
        layout.AddControl(ControlClass::Button, button.id, kind | WS_TABSTOP, button.caption);
        first = false;
    }
    DialogState state{content, UniqueFont{}};
    const INT_PTR result = ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), layout.get(), owner,
                                                     DialogProc, reinterpret_cast<LPARAM>(&state));
    return result > 0 ? static_cast<int>(result) : content.dismissResult;
}

constexpr DialogButton kOkButton[] = {{IDOK, L"OK"}};
constexpr DialogButton kYesNoButtons[] = {{IDYES, L"&Ja"}, {IDNO, L"&Nein"}};

}  // namespace

void ShowErrorBox(HWND owner, std::wstring_view caption, std::wstring_view text) {
    RunMessageDialog(owner, MessageDialog{caption, IDI_ERROR, MB_ICONHAND, text, kOkButton, IDOK});
}

void ShowError(HWND owner, std::wstring_view text) {
    ShowErrorBox(owner, L"Fehler", text);
}

bool AskYesNo(HWND owner, std::wstring_view text) {
    const MessageDialog content{L"Best\u00e4tigen", IDI_QUESTION, MB_ICONQUESTION, text, kYesNoButtons, IDNO};
    return RunMessageDialog(owner, content) == IDYES;
}

}  // namespace mvn

#include "ui/result_log_win.h"

#include <commctrl.h>
#include <richedit.h>

#include <string>

namespace mvn {
namespace {

constexpr UINT_PTR kSubclassId = 1;

bool IsDialogKey(const MSG& message) {
    return message.message == WM_KEYDOWN &&
           (message.wParam == VK_TAB || message.wParam == VK_RETURN || message.wParam == VK_ESCAPE);
}

LRESULT CALLBACK LogSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                 DWORD_PTR reference) noexcept {
    switch (message) {
        case WM_GETDLGCODE: {
            // A multi-line rich edit claims every key, which would take Tab, Enter and Esc away from
            // the window's keyboard handling (tab order, "Weiter", "Abbruch"). It has nothing to do
            // with them: it is read-only.
            LRESULT code = ::DefSubclassProc(window, message, wParam, lParam);
            code &= ~static_cast<LRESULT>(DLGC_WANTTAB);
            const auto* key = reinterpret_cast<const MSG*>(lParam);
            if (key && IsDialogKey(*key)) code &= ~static_cast<LRESULT>(DLGC_WANTALLKEYS | DLGC_WANTMESSAGE);
            return code;
        }
        case WM_SETCURSOR:
            if (*reinterpret_cast<const bool*>(reference) && LOWORD(lParam) == HTCLIENT) {
                ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
                return TRUE;
            }
            break;
        case WM_NCDESTROY:
            ::RemoveWindowSubclass(window, LogSubclassProc, kSubclassId);
            break;
        default:
            break;
    }
    return ::DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace

bool ResultLog::Create(HWND parent, int id, const RECT& bounds, HFONT font, const bool* waitCursorActive) {
    constexpr DWORD style =
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL;
    window_ = ::CreateWindowExW(
        WS_EX_CLIENTEDGE, L"RICHEDIT50W", L"", style, bounds.left, bounds.top, bounds.right - bounds.left,
        bounds.bottom - bounds.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
        reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
    if (!window_) return false;
    ::SetWindowSubclass(window_, LogSubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(waitCursorActive));
    ::SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    ::SendMessageW(window_, EM_SETTARGETDEVICE, 0, 0);  // wrap at the control's right edge
    return true;
}

void ResultLog::AppendLine(std::wstring_view text) {
    GETTEXTLENGTHEX query{GTL_NUMCHARS | GTL_PRECISE, 1200};
    const auto end =
        static_cast<LONG>(::SendMessageW(window_, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&query), 0));
    CHARRANGE caret{end, end};
    ::SendMessageW(window_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&caret));
    // A flag rather than the text length, so that an empty first line still counts as a line.
    std::wstring insertion = hasLines_ ? L"\r\n" : L"";
    insertion += text;
    ::SendMessageW(window_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(insertion.c_str()));
    ::SendMessageW(window_, EM_SCROLLCARET, 0, 0);
    hasLines_ = true;
}

void ResultLog::Clear() {
    ::SetWindowTextW(window_, L"");
    hasLines_ = false;
}

}  // namespace mvn

#include "ui/message_pump_win.h"

namespace mvn {
namespace {

// IsDialogMessageW gives the window Tab, Enter, Esc and mnemonics as in a dialog box.
void Handle(HWND keyboardWindow, MSG& message) {
    if (keyboardWindow && ::IsWindow(keyboardWindow) && ::IsDialogMessageW(keyboardWindow, &message)) return;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
}

}  // namespace

void PumpPendingMessages(HWND keyboardWindow) {
    MSG message{};
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        Handle(keyboardWindow, message);
    }
}

int RunMessageLoop(HWND keyboardWindow) {
    MSG message{};
    for (;;) {
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) return static_cast<int>(message.wParam);
        if (got == -1) return 1;
        Handle(keyboardWindow, message);
    }
}

}  // namespace mvn

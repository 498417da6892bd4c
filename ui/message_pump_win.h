#pragma once
// The message loop and ProcessPendingMessages share one way of handling a message, so keys behave
// the same whether the window waits or a run pumps between its steps.
#include <windows.h>

namespace mvn {

// Handles every message that is waiting and returns. A WM_QUIT found on the way is posted again so
// that the outer loop still ends. Safe to call from inside a handler that a pump dispatched.
void PumpPendingMessages(HWND keyboardWindow);

// Runs until WM_QUIT and returns its exit code.
int RunMessageLoop(HWND keyboardWindow);

}  // namespace mvn

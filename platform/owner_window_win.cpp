#include "platform/owner_window_win.h"

namespace mvn {
namespace {

// The programs have one thread, so a plain variable is enough.
HWND g_ownerWindow = nullptr;

}  // namespace

void SetOwnerWindow(HWND window) noexcept {
    g_ownerWindow = window;
}

HWND OwnerWindow() noexcept {
    return g_ownerWindow;
}

}  // namespace mvn

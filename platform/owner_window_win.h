#pragma once
// The program's main window, for platform operations whose progress or error windows need an owner
// (the shell file operations). Null until the window exists and again after it is gone.
#include <windows.h>

namespace mvn {

void SetOwnerWindow(HWND window) noexcept;
HWND OwnerWindow() noexcept;

}  // namespace mvn

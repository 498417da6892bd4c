#pragma once
// Where windows are placed: areas of the desktop and centring within them.
#include <windows.h>

namespace mvn {

RECT VirtualDesktopArea() noexcept;     // all monitors together
RECT WorkAreaOf(HWND window) noexcept;  // of the monitor nearest to the window
// The top-left corner that centres a window of that outer size in the area, but never left of or
// above the area's own top-left corner, so that a window larger than the area keeps its title bar.
POINT CentredOrigin(const RECT& area, int width, int height) noexcept;

}  // namespace mvn

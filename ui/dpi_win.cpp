#include "ui/dpi_win.h"

#include "platform/unique_handle_win.h"

namespace mvn {

DpiScale DpiScale::OfScreen() noexcept {
    const WindowDC screen(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
    return DpiScale(dpi > 0 ? dpi : 96);
}

}  // namespace mvn

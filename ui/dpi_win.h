#pragma once
// The layouts are given in pixels at 96 DPI. The programs declare system DPI awareness, so every
// pixel value is scaled once by the DPI of the screen.
#include <windows.h>

namespace mvn {

class DpiScale {
public:
    explicit DpiScale(int dpi) noexcept : dpi_(dpi) {}
    static DpiScale OfScreen() noexcept;

    int operator()(int pixelsAt96) const noexcept { return ::MulDiv(pixelsAt96, dpi_, 96); }
    int dpi() const noexcept { return dpi_; }

private:
    int dpi_;
};

}  // namespace mvn

#pragma once
// ILButton: the glyphs of the two buttons, drawn at run time so that they are sharp at any DPI.
#include <windows.h>

#include "platform/unique_handle_win.h"

namespace mvn {

inline constexpr int kGlyphCross = 0;  // BtAbbruch: red diagonal cross
inline constexpr int kGlyphArrow = 1;  // BtWeiter: green disc with a white arrow pointing right

// A masked 32-bit image list of square glyphs, edge pixels wide; empty on failure.
UniqueImageList CreateButtonGlyphs(int edge);

}  // namespace mvn

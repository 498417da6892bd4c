#pragma once
// Win32 calls that fill a caller's text buffer and say when it was too small.
#include <windows.h>

#include <string>

namespace mvn {

// Runs a Win32 "fill this buffer" call, growing the buffer until the result fits. fill returns the
// characters written, or the buffer's size when they did not fit.
template <class Fill>
std::wstring GrowingText(DWORD initial, Fill fill) {
    std::wstring buffer(initial, L'\0');
    for (;;) {
        const DWORD written = fill(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (written + 1 < buffer.size()) {
            buffer.resize(written);
            return buffer;
        }
        if (buffer.size() >= (1u << 20)) return buffer.substr(0, written);
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace mvn

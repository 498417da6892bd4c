#include "ui/uncaught_error_win.h"

#include <cstring>

#include "ui/dialogs_win.h"
#include "ui/error_text.h"

namespace mvn {
namespace {

std::wstring OwnModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        // A full buffer means the path was cut short, not an error.
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace

void ShowUncaughtError(HWND owner, std::wstring message) {
    ShowErrorBox(owner, ApplicationTitle(OwnModulePath()), WithFullStop(std::move(message)));
}

std::wstring WidenExceptionText(const char* text) {
    if (!text || !*text) return {};
    const int length = static_cast<int>(std::strlen(text));
    const int needed = ::MultiByteToWideChar(CP_ACP, 0, text, length, nullptr, 0);
    if (needed <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(needed), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text, length, wide.data(), needed);
    return wide;
}

}  // namespace mvn

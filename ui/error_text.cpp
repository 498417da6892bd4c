#include "ui/error_text.h"

namespace mvn {
namespace {

// Latin-1 letters are enough for a program's file name; the rest stays as it is.
wchar_t ToLower(wchar_t c) {
    if ((c >= L'A' && c <= L'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return static_cast<wchar_t>(c + 0x20);
    return c;
}

}  // namespace

std::wstring ApplicationTitle(std::wstring_view modulePath) {
    const std::size_t slash = modulePath.find_last_of(L"\\/");
    std::wstring_view name = slash == std::wstring_view::npos ? modulePath : modulePath.substr(slash + 1);
    name = name.substr(0, name.find(L'.'));
    std::wstring title(name);
    for (std::size_t i = 1; i < title.size(); ++i) title[i] = ToLower(title[i]);
    return title;
}

std::wstring WithFullStop(std::wstring message) {
    if (!message.empty() && message.back() > L'.') message += L'.';
    return message;
}

}  // namespace mvn

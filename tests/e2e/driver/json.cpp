#include "json.h"

#include <cwchar>

namespace e2e {

std::wstring JsonString(std::wstring_view text) {
    std::wstring out = L"\"";
    for (wchar_t c : text) {
        switch (c) {
            case L'"':
                out += L"\\\"";
                break;
            case L'\\':
                out += L"\\\\";
                break;
            case L'\n':
                out += L"\\n";
                break;
            case L'\r':
                out += L"\\r";
                break;
            case L'\t':
                out += L"\\t";
                break;
            default:
                if (c < 0x20) {
                    wchar_t buffer[8];
                    std::swprintf(buffer, 8, L"\\u%04x", static_cast<unsigned>(c));
                    out += buffer;
                } else {
                    out += c;  // surrogate pairs pass through and become one UTF-8 sequence
                }
        }
    }
    return out + L"\"";
}

std::wstring JsonNumber(long long value) {
    return std::to_wstring(value);
}

std::wstring JsonBool(bool value) {
    return value ? L"true" : L"false";
}

std::wstring JsonArray(const std::vector<std::wstring>& renderedItems) {
    std::wstring out = L"[";
    for (size_t i = 0; i < renderedItems.size(); ++i) {
        if (i) out += L",";
        out += renderedItems[i];
    }
    return out + L"]";
}

std::wstring JsonRect(const RECT& rect) {
    return JsonArray({JsonNumber(rect.left), JsonNumber(rect.top), JsonNumber(rect.right - rect.left),
                      JsonNumber(rect.bottom - rect.top)});
}

JsonObject& JsonObject::Raw(std::wstring_view key, const std::wstring& rendered) {
    if (!body_.empty()) body_ += L",";
    body_ += JsonString(key) + L":" + rendered;
    return *this;
}

void Emit(const JsonObject& object) {
    const std::wstring line = object.Text() + L"\n";
    const int wideLength = static_cast<int>(line.size());
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, line.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return;
    std::string bytes(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, line.data(), wideLength, bytes.data(), size, nullptr, nullptr);
    HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD written = 0;
    ::WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::FlushFileBuffers(out);
}

}  // namespace e2e

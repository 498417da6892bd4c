#pragma once
// Path spellings as Windows reads them, for the rules that compare or refuse directories.
#include <string>

namespace mvn {

inline bool IsDriveLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

// "\\?\UNC\server\share" names the share "\\server\share"; "\\?\D:\" and "\\.\D:\" the drive "D:\".
inline std::wstring WithoutLongPathPrefix(const std::wstring& path) {
    if (path.starts_with(L"\\\\?\\UNC\\")) return L"\\" + path.substr(7);
    if (path.starts_with(L"\\\\?\\") || path.starts_with(L"\\\\.\\")) return path.substr(4);
    return path;
}

}  // namespace mvn

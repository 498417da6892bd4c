#include "discovery/path_rules.h"

namespace mvn {

std::wstring GetPreviousDir(const std::wstring& path) {
    std::wstring trimmed = path;
    if (!trimmed.empty() && trimmed.back() == L'\\') trimmed.pop_back();
    if (trimmed.size() <= 3) return path;
    // The last character is not examined, so "D:\x\" style input never yields itself.
    const std::size_t slash = trimmed.find_last_of(L'\\', trimmed.size() - 2);
    if (slash == std::wstring::npos) return path;
    return trimmed.substr(0, slash + 1);
}

std::wstring VirtualStoreStartIni(const std::wstring& localAppData, const std::wstring& installDir) {
    std::wstring candidate;
    candidate.reserve(localAppData.size() + installDir.size() + 32);
    for (wchar_t c : localAppData) candidate += (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c;
    if (candidate.empty() || candidate.back() != L'\\') candidate += L'\\';
    candidate += L"VirtualStore";
    // Drive letter and colon dropped at the front, the trailing backslash at the end.
    if (installDir.size() > 3) candidate += installDir.substr(2, installDir.size() - 3);
    candidate += L"\\MorvaneStart.ini";
    return candidate;
}

}  // namespace mvn

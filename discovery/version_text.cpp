#include "discovery/version_text.h"

namespace mvn {

std::wstring VersionText(const std::optional<ProductVersion>& version) {
    const ProductVersion parts = version.value_or(ProductVersion{});
    std::wstring text;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) text += L'.';
        text += std::to_wstring(static_cast<unsigned>(parts[i]));
    }
    return text;
}

bool IsMajorVersion9(const std::wstring& versionText) {
    return !versionText.empty() && versionText[0] == L'9';
}

long long MajorNumber(const std::wstring& versionText) {
    const std::wstring major = versionText.substr(0, versionText.find(L'.'));
    if (major.empty() || major.size() > 9) return -1;
    long long value = 0;
    for (wchar_t c : major) {
        if (c < L'0' || c > L'9') return -1;
        value = value * 10 + (c - L'0');
    }
    return value;
}

}  // namespace mvn

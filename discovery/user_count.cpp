#include "discovery/user_count.h"

#include <cstdint>
#include <optional>

namespace mvn {
namespace {

constexpr int kNotANumber = -1;

int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

std::optional<std::int64_t> ParseHex(const std::wstring& digits) {
    std::int64_t value = 0;
    for (wchar_t c : digits) {
        const int d = HexDigit(c);
        if (d < 0) return std::nullopt;
        value = value * 16 + d;
        if (value > 0xFFFFFFFFLL) return std::nullopt;
    }
    return value;
}

std::optional<std::int64_t> ParseDecimal(const std::wstring& text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    if (i == text.size()) return std::nullopt;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < L'0' || text[i] > L'9') return std::nullopt;
        value = value * 10 + (text[i] - L'0');
        if (value > 0x80000000LL) return std::nullopt;
    }
    value = negative ? -value : value;
    if (value > INT32_MAX) return std::nullopt;
    return value;
}

}  // namespace

int ParseUserCount(const std::wstring& text) {
    const bool hex = text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X');
    const std::optional<std::int64_t> value = hex ? ParseHex(text.substr(2)) : ParseDecimal(text);
    if (!value) return kNotANumber;
    // A hexadecimal value above INT32_MAX wraps as a 32-bit number would; it is never 0.
    return static_cast<int>(static_cast<std::int32_t>(static_cast<std::uint32_t>(*value)));
}

}  // namespace mvn

#pragma once
// Entry names are UTF-8 in the archive whatever the width of wchar_t: UTF-16 with surrogate pairs on
// Windows, UTF-32 on Linux. Both conversions give the same bytes on both.
#include <string>
#include <string_view>

namespace mvn::zip {

// A lone surrogate or a value outside Unicode becomes U+FFFD.
std::string ToUtf8(std::wstring_view text);
// False when ToUtf8 would replace something: a name Windows allows may hold an unpaired surrogate.
bool IsUnicodeText(std::wstring_view text);
// Malformed sequences become U+FFFD, one per offending byte.
std::wstring FromUtf8(std::string_view text);

}  // namespace mvn::zip

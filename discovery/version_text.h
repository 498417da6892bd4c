#pragma once
#include <optional>
#include <string>

#include "platform/platform.h"

namespace mvn {

// "%d.%d.%d.%d" of the four unsigned halves; "0.0.0.0" without version information.
std::wstring VersionText(const std::optional<ProductVersion>& version);

// Only the first character decides: "95.1.0.0" counts as version 9 too.
bool IsMajorVersion9(const std::wstring& versionText);

// The decimal number before the first point, or -1 when there is none.
long long MajorNumber(const std::wstring& versionText);

}  // namespace mvn

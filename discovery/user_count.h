#pragma once
#include <string>

namespace mvn {

// [Benutzer] "UserZahl" as a whole number: hexadecimal after "0x"/"0X" when longer than two
// characters, decimal otherwise; -1 for anything that is not a whole 32-bit number.
int ParseUserCount(const std::wstring& text);

}  // namespace mvn

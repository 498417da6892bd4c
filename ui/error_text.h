#pragma once
// How the handler of uncaught errors presents a message.
#include <string>
#include <string_view>

namespace mvn {

// The program's file name without its directory, cut before its first point, every character after
// the first in lower case: "C:\x\MVNUpdaterP2_10.exe" gives "Mvnupdaterp2_10".
std::wstring ApplicationTitle(std::wstring_view modulePath);

// A full stop is appended when the last character's code lies above that of the full stop, so text
// that ends in "!", "'" or "." is left as it is.
std::wstring WithFullStop(std::wstring message);

}  // namespace mvn

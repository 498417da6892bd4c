#pragma once
// Path rules of the locator. Paths are plain text: nothing is normalised, separators are neither
// inserted nor removed, doubled backslashes stay.
#include <string>

namespace mvn {

// The parent directory with a trailing backslash, or the input unchanged when it has none.
std::wstring GetPreviousDir(const std::wstring& path);

// Where Windows' file virtualisation keeps a per-user copy of the start INI of installDir.
std::wstring VirtualStoreStartIni(const std::wstring& localAppData, const std::wstring& installDir);

}  // namespace mvn

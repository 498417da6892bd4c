#pragma once
// The command-line rules of the program that takes its installation directory as arguments. They are
// not those of CommandLineToArgvW: backslashes are plain characters, and the directory is re-joined
// from the arguments with single spaces, so an unquoted path with spaces arrives whole.
#include <string>
#include <string_view>
#include <vector>

namespace mvn {

// Element 0 is the program name. Splitting stops at the first empty argument.
std::vector<std::wstring> SplitCommandLine(std::wstring_view commandLine);

// Arguments 1..n joined with single spaces, then one trailing backslash removed.
std::wstring CmdLineDirFromArguments(const std::vector<std::wstring>& arguments);

}  // namespace mvn

#pragma once
// The programs are typically started from a download or network folder, where a planted DLL must
// never load in place of a system one.
#include <windows.h>

#include "platform/unique_handle_win.h"

namespace mvn {

// Restricts the DLL search of this process to System32. Call it before anything loads a DLL.
// SetDefaultDllDirectories is looked up at run time: an unpatched Windows 7 lacks it.
void HardenDllSearch() noexcept;

// Loads a DLL from System32 only; empty on failure, with GetLastError set.
UniqueModule LoadSystemLibrary(const wchar_t* fileName);

}  // namespace mvn

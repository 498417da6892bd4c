#pragma once
// A program still running from the installation directory holds its files: they cannot be deleted
// when the directory is emptied, and data files it writes would be backed up half-written. The run
// stops before it changes anything when such a program is found.
#include <optional>
#include <string>

#include "steps/step.h"

namespace mvn {

// The full, long path of the first program (by path) whose executable lies in dir or below it.
// dir is read as the steps address files in it, dir + "\name": an empty dir is the root of the
// current drive. In a drive or share root only programs directly in it count. The own process and
// processes whose executable cannot be read never count.
std::optional<std::wstring> FirstProgramRunningFrom(const std::wstring& dir, Platform& platform);

// 0 when no program runs from the installation directory, 1 after the error dialog.
int PruefeLaufendeProgrammeP2(StepContext& context);  // CmdLineDir
int PruefeLaufendeProgramme10(StepContext& context);  // InstallDir

}  // namespace mvn

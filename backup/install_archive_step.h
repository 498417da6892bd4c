#pragma once
// Packs the old installation directory into "mvnaltinst.zip", empties the directory and leaves the
// archive and the start INI in it. Nothing is deleted unless the archive has been read back intact.
#include <string>
#include <string_view>

#include "steps/step.h"

namespace mvn {

// 0 when the archive was written and proven and the directory holds it again; 1 otherwise.
int SaveMVNInst(StepContext& context);

// Empty paths and the roots of drives and shares (also in their \\?\ forms) are never archived and
// emptied. The step also applies this to the directory's resolved full path.
bool IsRefusedInstallDir(const std::wstring& dir);

// When the archive step has emptied the installation directory, writes the old installation back
// from the proven archive and removes the archive copy the step put there (unless the old
// installation held one). A restore that is not complete says so in a dialog that names the archive.
// True when there was nothing to restore or everything is back.
bool RestoreInstallation(StepContext& context);

inline constexpr std::wstring_view kRestoreFailed =
    L"Die vorherige Morvane-Installation konnte nicht vollständig wiederhergestellt werden.\n"
    L"Die Sicherung liegt in:\n";

}  // namespace mvn

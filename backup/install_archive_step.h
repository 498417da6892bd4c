#pragma once
// Packs the old installation directory into "mvnaltinst.zip", empties the directory and leaves the
// archive and the start INI in it. Nothing is deleted unless the archive has been read back intact.
#include <string>

#include "steps/step.h"

namespace mvn {

// 0 when the archive was written and proven and the directory holds it again; 1 otherwise.
int SaveMVNInst(StepContext& context);

// Empty paths and the roots of drives and shares (also in their \\?\ forms) are never archived and
// emptied. The step also applies this to the directory's resolved full path.
bool IsRefusedInstallDir(const std::wstring& dir);

}  // namespace mvn

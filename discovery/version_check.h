#pragma once
// Is version 9 of the application installed?
#include "steps/step.h"

namespace mvn {

// 0 when there is no executable in the command-line directory; 1 when one was found (with an error
// dialog already shown for a version other than 9).
int CheckMVNExeP2(StepContext& context);
// Show-time decision: nothing to update ends with 0, a refused version or a "no" with 1.
void VersionDecisionP2(StepContext& context);
// Chain step: 0 when version 9 is installed, 1 after its dialog.
int CheckMVNExe10(StepContext& context);

}  // namespace mvn

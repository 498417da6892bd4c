#pragma once
// "MVN_9_Update.ini" in the INI directory tells the installer that this run succeeded.
#include "steps/step.h"

namespace mvn {

// Writes [Update] Erfolg, Datum, Uhrzeit, Vorversion. Raises StepError when a key cannot be written.
int SchreibeIni(StepContext& context, int resultCode);

// The chain's step: records the success value 0.
int SchreibeIniSucceeded(StepContext& context);

}  // namespace mvn

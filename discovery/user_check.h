#pragma once
// Nobody may be signed in to the application while it is updated.
#include "steps/step.h"

namespace mvn {

int PruefeMVNUserP2(StepContext& context);
// An INI directory with a "001" subfolder passes without reading the count.
int PruefeMVNUser10(StepContext& context);

}  // namespace mvn

#pragma once
// The protocol every step implements: it reads and fills the run state, reports through the view,
// reaches Windows through the platform port and returns 0 for success or its own failure code.
// Errors that a step raises (StepError) are left to the window's handler of uncaught errors.
#include "platform/platform.h"
#include "platform/step_error.h"
#include "steps/run_state.h"
#include "steps/view.h"

namespace mvn {

class InstallArchiver;

struct StepContext {
    RunState& state;
    View& view;
    Platform& platform;
    InstallArchiver* archiver = nullptr;  // only the deliverable that archives has one
};

using StepFn = int (*)(StepContext&);

}  // namespace mvn

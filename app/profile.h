#pragma once
// What sets the two deliverables apart, chosen in each program's entry point.
#include <span>

#include "app/chain.h"
#include "ui/window_layout.h"

namespace mvn {

struct Profile {
    WindowLayout layout;
    bool takesCommandLine = false;  // the installation directory comes from the command line
    // Runs when the window is about to be shown for the first time; may end the process.
    void (*showTimeCheck)(StepContext&) = nullptr;
    std::span<const ChainStep> chain;
    // Runs before a started run ends without completing: a failed step, "Abbruch", closing the
    // window, or an error a step raised.
    UndoFn undoRun = nullptr;
};

const Profile& ProfileP2_10();
const Profile& Profile10();

}  // namespace mvn

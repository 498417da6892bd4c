#pragma once
// The step chain as data: what happens before each step and what follows its result.
#include <span>
#include <string_view>

#include "steps/step.h"

namespace mvn {

enum class Follow {
    Nothing,          // go on with the next step
    OkLine,           // AddOkLine(text), then go on
    LogLineAndPump,   // AddLogLine(text), ProcessPendingMessages, then go on
    EndFailed,        // undo what the run must not leave behind, then EndProcess(1)
    FinishSucceeded,  // ProcessPendingMessages, then EndProcess(0)
};

struct Reaction {
    Follow follow = Follow::Nothing;
    std::wstring_view text;
};

struct ChainStep {
    std::wstring_view name;          // for tests and diagnostics only
    std::wstring_view beforeLog;     // AddLogLine before the step, when not empty
    std::wstring_view beforeStatus;  // SetStatusText before the step, when not empty
    StepFn run = nullptr;
    Reaction onSuccess;
    Reaction onFailure{Follow::EndFailed, {}};
};

// AddLogLine, ProcessPendingMessages, then the pause that lets the user read each success.
void AddOkLine(View& view, std::wstring_view text);

// Puts back what a run that ends without completing must not leave behind. False when that did not
// fully succeed (it has said so); true also when there was nothing to put back.
using UndoFn = bool (*)(StepContext&);

// ExpandLog, ProcessPendingMessages, then every step in order; undo (when given) runs before a failed
// step ends the process. Errors raised by a step are not caught here.
void Verarbeite(std::span<const ChainStep> chain, StepContext& context, UndoFn undo = nullptr);

inline constexpr unsigned kOkLinePauseMs = 500;

}  // namespace mvn

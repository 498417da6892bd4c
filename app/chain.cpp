#include "app/chain.h"

#include <string>

namespace mvn {

void AddOkLine(View& view, std::wstring_view text) {
    view.AddLogLine(std::wstring(text));
    view.ProcessPendingMessages();
    view.Pause(kOkLinePauseMs);
}

namespace {

void React(StepContext& context, const Reaction& reaction, UndoFn undo) {
    View& view = context.view;
    switch (reaction.follow) {
        case Follow::Nothing:
            return;
        case Follow::OkLine:
            AddOkLine(view, reaction.text);
            return;
        case Follow::LogLineAndPump:
            view.AddLogLine(std::wstring(reaction.text));
            view.ProcessPendingMessages();
            return;
        case Follow::EndFailed:
            if (undo) undo(context);
            view.EndProcess(1);
            return;
        case Follow::FinishSucceeded:
            view.ProcessPendingMessages();
            view.EndProcess(0);
            return;
    }
}

}  // namespace

void Verarbeite(std::span<const ChainStep> chain, StepContext& context, UndoFn undo) {
    View& view = context.view;
    view.ExpandLog();
    view.ProcessPendingMessages();
    for (const ChainStep& step : chain) {
        if (!step.beforeLog.empty()) view.AddLogLine(std::wstring(step.beforeLog));
        if (!step.beforeStatus.empty()) view.SetStatusText(std::wstring(step.beforeStatus));
        const int result = step.run(context);
        React(context, result == 0 ? step.onSuccess : step.onFailure, undo);
    }
}

}  // namespace mvn

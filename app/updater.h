#pragma once
// The main window object's logic: run state, start-up handlers and the handlers of the two buttons.
// It knows the window only through View, so it runs natively against fakes.
#include <string_view>

#include "app/chain.h"
#include "app/profile.h"
#include "steps/run_state.h"
#include "ui/window_events.h"

namespace mvn {

class Updater final : public WindowEvents {
public:
    Updater(const Profile& profile, View& view, Platform& platform, InstallArchiver* archiver = nullptr);

    // commandLine is the whole command line, program name included, as Windows passes it.
    void FormCreate(std::wstring_view commandLine);
    void FormShow() override;
    // Runs the chain. A click that arrives while a run is in progress is ignored.
    void BtWeiterClick() override;
    void BtAbbruchClick() override;
    // Closing is ignored during a run. Once a run has started, closing ends with exit code 1 (a
    // completed run has ended the process by itself); before any run the window may close.
    bool FormCloseQuery() override;

    const RunState& state() const { return state_; }
    bool running() const { return running_; }

private:
    bool UndoRun();
    void EndFailed();  // ends the process

    const Profile& profile_;
    RunState state_;
    StepContext context_;
    bool running_ = false;
    bool runStarted_ = false;
};

}  // namespace mvn

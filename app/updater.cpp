#include "app/updater.h"

#include <exception>

#include "app/command_line.h"

namespace mvn {

Updater::Updater(const Profile& profile, View& view, Platform& platform, InstallArchiver* archiver)
    : profile_(profile), context_{state_, view, platform, archiver} {}

void Updater::FormCreate(std::wstring_view commandLine) {
    if (!profile_.takesCommandLine) return;
    state_.CmdLineDir = CmdLineDirFromArguments(SplitCommandLine(commandLine));
}

void Updater::FormShow() {
    if (profile_.showTimeCheck) profile_.showTimeCheck(context_);
    context_.view.BringToFront();
    context_.view.ProcessPendingMessages();
    context_.view.CollapseLog();
}

void Updater::BtWeiterClick() {
    if (running_) return;
    runStarted_ = true;
    // Reset on every way out, the error that the window's handler shows included, so that
    // "Weiter" can start a fresh run afterwards.
    struct RunningFlag {
        bool& flag;
        explicit RunningFlag(bool& f) : flag(f) { flag = true; }
        ~RunningFlag() { flag = false; }
    } guard(running_);
    try {
        Verarbeite(profile_.chain, context_, profile_.undoRun);
    } catch (const std::exception&) {
        // Before the error box, so that the window waits over what was there before the run and a
        // second run starts from it. When that cannot be had, a second run must not start at all.
        if (!UndoRun()) context_.view.EndProcess(1);
        throw;
    }
}

void Updater::BtAbbruchClick() {
    EndFailed();
}

bool Updater::FormCloseQuery() {
    if (running_) return false;
    if (runStarted_) EndFailed();
    return true;
}

bool Updater::UndoRun() {
    return profile_.undoRun == nullptr || profile_.undoRun(context_);
}

void Updater::EndFailed() {
    UndoRun();
    context_.view.EndProcess(1);
}

}  // namespace mvn

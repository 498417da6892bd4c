#include "app/updater.h"

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
    // Reset on every way out, the error that the window's handler shows included, so that
    // "Weiter" can start a fresh run afterwards.
    struct RunningFlag {
        bool& flag;
        explicit RunningFlag(bool& f) : flag(f) { flag = true; }
        ~RunningFlag() { flag = false; }
    } guard(running_);
    Verarbeite(profile_.chain, context_);
}

void Updater::BtAbbruchClick() {
    context_.view.EndProcess(1);
}

}  // namespace mvn

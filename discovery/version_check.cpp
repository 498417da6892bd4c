#include "discovery/version_check.h"

#include <string>

#include "discovery/messages.h"
#include "discovery/version_text.h"

namespace mvn {
namespace {

std::wstring GetFileVersionsString_2(Platform& platform, const std::wstring& path) {
    return VersionText(platform.ReadProductVersion(path));
}

}  // namespace

int CheckMVNExeP2(StepContext& context) {
    RunState& s = context.state;
    const std::wstring exe = s.CmdLineDir + L"\\Morvane9.EXE";
    if (!context.platform.FileExists(exe)) return 0;
    s.InstalledVersion = GetFileVersionsString_2(context.platform, exe);
    if (IsMajorVersion9(s.InstalledVersion)) return 1;
    context.view.ShowError(std::wstring(MajorNumber(s.InstalledVersion) == 10 ? text::kV1AlreadyVersion10
                                                                              : text::kV2UnknownVersion));
    return 1;
}

void VersionDecisionP2(StepContext& context) {
    View& view = context.view;
    if (CheckMVNExeP2(context) == 0) view.EndProcess(0);
    const std::wstring& version = context.state.InstalledVersion;
    if (IsMajorVersion9(version)) {
        if (!view.AskYesNo(std::wstring(text::kV3ConfirmUpdate))) view.EndProcess(1);
        return;
    }
    view.ShowError(std::wstring(text::kV4Head) + version + std::wstring(text::kV4Tail));
    view.EndProcess(1);
}

int CheckMVNExe10(StepContext& context) {
    RunState& s = context.state;
    s.InstalledVersion = GetFileVersionsString_2(context.platform, s.InstallDir + L"\\Morvane9.EXE");
    if (IsMajorVersion9(s.InstalledVersion)) return 0;
    context.view.ShowError(std::wstring(text::kV5NeedsVersion9));
    return 1;
}

}  // namespace mvn

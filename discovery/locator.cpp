#include "discovery/locator.h"

#include <string>

#include "discovery/messages.h"
#include "discovery/path_rules.h"

namespace mvn {
namespace {

const std::wstring kSetup = L"Setup";
const std::wstring kOwnIniSubdir = L"\\Ostrana\\Morvane\\";

struct Deliverable {
    int failureCode;
    bool writesLogLines;
};
constexpr Deliverable kP2{2, true};
constexpr Deliverable k10{1, false};

int Fail(StepContext& context, Deliverable who, std::wstring_view message, std::wstring_view logLine) {
    context.view.ShowError(std::wstring(message));
    if (who.writesLogLines && !logLine.empty()) context.view.AddLogLine(std::wstring(logLine));
    return who.failureCode;
}

// 0 when CommonAppDataDir is filled.
int GetCommAppData(StepContext& context, Deliverable who) {
    RunState& s = context.state;
    s.CommonAppDataDir = context.platform.GetFileFolderPathFromRegistry(L"Common Appdata");
    if (s.CommonAppDataDir.empty()) {
        Fail(context, who,
             who.writesLogLines ? text::kM4CommonAppDataUnknown : text::kM5AllUsersAppDataUnknown,
             text::kL4CommonAppData);
        return 1;
    }
    if (who.writesLogLines && s.CommonAppDataDir.back() == L'\\') s.CommonAppDataDir.pop_back();
    return 0;
}

// Steps shared by both deliverables once IniDir is known.
int LocateDataDirectories(StepContext& context, Deliverable who) {
    RunState& s = context.state;
    s.MainIniPath = s.IniDir + L"morvane.ini";
    if (!context.platform.FileExists(s.MainIniPath))
        return Fail(context, who, text::kM2MainIniMissing, text::kL2MainIni);
    s.DataDir = context.platform.ReadIniString(s.MainIniPath, kSetup, L"Datenverzeichnis");
    if (s.DataDir.empty()) return Fail(context, who, text::kM3DataDirUnknown, text::kL3DataDir);
    s.BaseDir = GetPreviousDir(s.DataDir);
    s.FormsDir = s.BaseDir + L"Formulare\\";
    s.NkkDir = s.BaseDir + L"NKK\\";
    return 0;
}

// Reads IniPfad from an existing start INI; false after the M1 failure.
bool ReadIniDirFrom(StepContext& context, const std::wstring& startIni) {
    context.state.IniDir = context.platform.ReadIniString(startIni, kSetup, L"IniPfad");
    return !context.state.IniDir.empty();
}

}  // namespace

int PruefeMVNIniP2(StepContext& context) {
    RunState& s = context.state;
    s.InstallDir = s.CmdLineDir;
    const std::wstring startIni = s.InstallDir + L"\\MorvaneStart.ini";
    if (context.platform.FileExists(startIni)) {
        if (!ReadIniDirFrom(context, startIni))
            return Fail(context, kP2, text::kM1IniDirUnknown, text::kL1IniDir);
    } else {
        if (GetCommAppData(context, kP2) != 0) return kP2.failureCode;
        s.IniDir = s.CommonAppDataDir + kOwnIniSubdir;
    }
    return LocateDataDirectories(context, kP2);
}

int PruefeMVNIni10(StepContext& context) {
    RunState& s = context.state;
    Platform& platform = context.platform;
    const bool view64 = platform.IsWow64();
    const RegistryString location =
        platform.ReadMachineString(std::wstring(kInstallPropertiesKey), L"InstallLocation", view64);
    if (!location.keyOpened) return Fail(context, k10, text::kM0InstallDirUnknown, {});
    s.InstallDir = location.value;
    if (s.InstallDir.empty()) return Fail(context, k10, text::kM0InstallDirUnknown, {});

    const std::wstring startIni = s.InstallDir + L"\\MorvaneStart.ini";
    if (platform.FileExists(startIni)) {
        if (!ReadIniDirFrom(context, startIni)) return Fail(context, k10, text::kM1IniDirUnknown, {});
    } else if (const std::wstring virtualStoreIni =
                   VirtualStoreStartIni(platform.GetShellFolder(kCsidlLocalAppData), s.InstallDir);
               platform.FileExists(virtualStoreIni)) {
        if (!ReadIniDirFrom(context, virtualStoreIni)) return Fail(context, k10, text::kM1IniDirUnknown, {});
    } else {
        if (GetCommAppData(context, k10) != 0) return k10.failureCode;
        s.IniDir = s.CommonAppDataDir + kOwnIniSubdir;
    }

    s.Has001Dir = platform.DirectoryExists(s.IniDir + L"001");
    if (s.Has001Dir) s.IniDir += L"001\\";
    return LocateDataDirectories(context, k10);
}

}  // namespace mvn

#pragma once
// The first step of both chains: installation, INI and data directories.
#include "steps/step.h"

namespace mvn {

// From the command-line directory. 0 on success, 2 after its dialog and log line.
int PruefeMVNIniP2(StepContext& context);
// From the Windows Installer entry, with the VirtualStore and "001" rules. 0 or 1 after its dialog.
int PruefeMVNIni10(StepContext& context);

inline constexpr std::wstring_view kInstallPropertiesKey =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Products\\"
    L"3A1D5E0B7C9F24681B3D5F7092A4C6E8\\InstallProperties";

}  // namespace mvn

#pragma once
// The state that every step of a run reads and fills. Paths are kept in UTF-16 from the Win32 call
// inward: an 8-bit copy would turn characters outside the ANSI code page into "?" and make the later
// steps miss files that exist. The compact window's client height lives with the window, the only
// code that reads or writes it.
#include <optional>
#include <string>

namespace mvn {

// The archive step has begun to empty the installation directory; the proven archive in the
// temporary folder is what puts it back.
struct EmptiedInstallDir {
    std::wstring installDir;
    std::wstring archivePath;
    bool archiveCopyAdded = true;  // the old installation held no "mvnaltinst.zip" of its own
};

struct RunState {
    std::wstring CommonAppDataDir;
    std::wstring IniDir;
    std::wstring DataDir;
    std::wstring InstallDir;
    std::wstring BaseDir;
    std::wstring FormsDir;
    std::wstring NkkDir;
    std::wstring MainIniPath;
    std::wstring CmdLineDir;
    std::wstring InstalledVersion;
    bool Has001Dir = false;
    // Set until the old installation is back; a run that ends without completing puts it back.
    std::optional<EmptiedInstallDir> Emptied;
};

}  // namespace mvn

// MVNUpdaterP2_10: the installation directory comes from the command line, and the old installation
// is archived before the data backups.
#include <windows.h>

#include "app/main_window_win.h"
#include "app/profile.h"
#include "backup/zip/archive_files.h"
#include "backup/zip_install_archiver.h"
#include "platform/dll_search_win.h"
#include "platform/win32_platform_win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    mvn::HardenDllSearch();
    mvn::Win32Platform platform;
    const std::unique_ptr<mvn::ArchiveFiles> files = mvn::MakeWin32ArchiveFiles();
    mvn::ZipInstallArchiver archiver(*files);
    return mvn::RunMainWindow(instance, mvn::ProfileP2_10(), platform, &archiver);
}

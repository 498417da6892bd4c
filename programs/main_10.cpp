// MVNUpdater10: the installation directory comes from the Windows Installer entry; no archive step.
#include <windows.h>

#include "app/main_window_win.h"
#include "app/profile.h"
#include "platform/dll_search_win.h"
#include "platform/win32_platform_win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    mvn::HardenDllSearch();
    mvn::Win32Platform platform;
    return mvn::RunMainWindow(instance, mvn::Profile10(), platform, nullptr);
}

#include <windows.h>

#include <commctrl.h>

#include "app/main_window_win.h"
#include "app/updater.h"
#include "platform/dll_search_win.h"
#include "platform/owner_window_win.h"
#include "ui/fhaupt_win.h"
#include "ui/message_pump_win.h"

namespace mvn {

int RunMainWindow(HINSTANCE instance, const Profile& profile, Platform& platform, InstallArchiver* archiver) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    // RICHEDIT50W; the module must stay loaded while the window lives.
    const UniqueModule richEdit = LoadSystemLibrary(L"Msftedit.dll");
    if (!richEdit) return 1;

    MainWindow window(instance, profile.layout);
    Updater updater(profile, window, platform, archiver);
    window.Bind(updater);
    updater.FormCreate(::GetCommandLineW());
    if (!window.Create()) return 1;
    SetOwnerWindow(window.handle());

    updater.FormShow();  // may end the process while the window is still hidden
    window.ShowFirstTime();
    return RunMessageLoop(window.handle());
}

}  // namespace mvn

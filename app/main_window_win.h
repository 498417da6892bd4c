#pragma once
// The program's window from start to end, shared by both entry points.
#include <windows.h>

namespace mvn {

class InstallArchiver;
class Platform;
struct Profile;

// Creates the main window, runs FormCreate and FormShow, shows the window and runs the message loop.
// Returns 0 when the window was closed, 1 when it could not be created.
int RunMainWindow(HINSTANCE instance, const Profile& profile, Platform& platform, InstallArchiver* archiver);

}  // namespace mvn

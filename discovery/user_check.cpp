#include "discovery/user_check.h"

#include <string>

#include "discovery/messages.h"
#include "discovery/user_count.h"

namespace mvn {

int PruefeMVNUserP2(StepContext& context) {
    const std::wstring count =
        context.platform.ReadIniString(context.state.MainIniPath, L"Benutzer", L"UserZahl");
    if (ParseUserCount(count) == 0) return 0;
    context.view.ShowError(std::wstring(text::kUsersSignedIn));
    return 1;
}

int PruefeMVNUser10(StepContext& context) {
    if (context.state.Has001Dir) return 0;
    return PruefeMVNUserP2(context);
}

}  // namespace mvn

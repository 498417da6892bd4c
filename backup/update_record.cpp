#include "backup/update_record.h"

#include <string>

#include "platform/step_error.h"

namespace mvn {
namespace {

// Flushes the profile cache on every way out, the error included.
class FlushOnExit {
public:
    FlushOnExit(Platform& platform, const std::wstring& path) : platform_(platform), path_(path) {}
    ~FlushOnExit() { platform_.FlushIni(path_); }
    FlushOnExit(const FlushOnExit&) = delete;
    FlushOnExit& operator=(const FlushOnExit&) = delete;

private:
    Platform& platform_;
    const std::wstring& path_;
};

}  // namespace

int SchreibeIni(StepContext& context, int resultCode) {
    Platform& platform = context.platform;
    const std::wstring path = context.state.IniDir + L"MVN_9_Update.ini";
    FlushOnExit flush(platform, path);
    // One reading of the clock for both values, so a run across midnight cannot pair the earlier
    // day's date with a time after midnight.
    const DateTimeTexts now = platform.CurrentDateTimeTexts();
    const std::pair<const wchar_t*, std::wstring> values[] = {
        {L"Erfolg", std::to_wstring(resultCode)},
        {L"Datum", now.date},
        {L"Uhrzeit", now.time},
        {L"Vorversion", context.state.InstalledVersion},
    };
    for (const auto& [key, value] : values) {
        if (!platform.WriteIniString(path, L"Update", key, value)) {
            throw StepError(L"In " + path + L" kann nicht geschrieben werden");
        }
    }
    return 0;
}

int SchreibeIniSucceeded(StepContext& context) {
    return SchreibeIni(context, 0);
}

}  // namespace mvn

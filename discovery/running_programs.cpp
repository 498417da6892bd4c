#include "discovery/running_programs.h"

#include "discovery/messages.h"
#include "platform/path_text.h"

namespace mvn {
namespace {

// The Win32 spelling of a path, with separators as Windows reads them: "\\?\UNC\server\share" is
// "\\server\share", "\\?\C:\x" is "C:\x"; a run of backslashes is one separator, except the two
// that begin a share; trailing backslashes are dropped, so a drive root is left as "C:".
std::wstring Tidy(const std::wstring& path) {
    const std::wstring rest = WithoutLongPathPrefix(path);
    std::wstring tidy;
    tidy.reserve(rest.size());
    for (std::size_t i = 0; i < rest.size(); ++i) {
        const bool shareLead = i == 1 && rest[0] == L'\\';
        if (rest[i] == L'\\' && !tidy.empty() && tidy.back() == L'\\' && !shareLead) continue;
        tidy += rest[i];
    }
    while (!tidy.empty() && tidy.back() == L'\\') tidy.pop_back();
    return tidy;
}

// Both sides of the comparison as full, long paths: "..", relative parts and 8.3 names resolved.
std::wstring Comparable(const std::wstring& path, Platform& platform) {
    const std::wstring full = platform.FullPath(path);
    if (full.empty()) return {};
    const std::wstring longPath = platform.LongPath(full);
    return Tidy(longPath.empty() ? full : longPath);
}

// "C:" or "\\server\share" (also "\\server"), as Tidy leaves them.
bool IsRoot(const std::wstring& dir) {
    if (dir.size() == 2 && IsDriveLetter(dir[0]) && dir[1] == L':') return true;
    if (!dir.starts_with(L"\\\\")) return false;
    const std::size_t serverEnd = dir.find(L'\\', 2);
    return serverEnd == std::wstring::npos || dir.find(L'\\', serverEnd + 1) == std::wstring::npos;
}

bool LiesIn(const std::wstring& image, const std::wstring& dir, bool dirIsRoot, Platform& platform) {
    if (image.size() <= dir.size() + 1 || image[dir.size()] != L'\\') return false;
    if (platform.CompareOrdinalIgnoreCase(image.substr(0, dir.size()), dir) != 0) return false;
    return !dirIsRoot || image.find(L'\\', dir.size() + 1) == std::wstring::npos;
}

int RefuseWhileRunning(StepContext& context, const std::wstring& dir) {
    const std::optional<std::wstring> running = FirstProgramRunningFrom(dir, context.platform);
    if (!running) return 0;
    context.view.ShowError(std::wstring(text::kProgramRunningHead) + *running +
                           std::wstring(text::kProgramRunningTail));
    return 1;
}

}  // namespace

std::optional<std::wstring> FirstProgramRunningFrom(const std::wstring& dir, Platform& platform) {
    // The trailing separator makes "C:" the root of drive C, not its current directory.
    const std::wstring tidyDir = Tidy(dir);
    const std::wstring installDir = Comparable(tidyDir + L"\\", platform);
    if (installDir.empty()) return std::nullopt;
    const bool isRoot = IsRoot(installDir);
    const std::uint32_t own = platform.CurrentProcessId();
    std::optional<std::wstring> first;
    for (const Platform::RunningProcess& process : platform.RunningProcesses()) {
        if (process.id == own || process.imagePath.empty()) continue;
        const std::wstring image = Comparable(Tidy(process.imagePath), platform);
        if (image.empty() || !LiesIn(image, installDir, isRoot, platform)) continue;
        if (!first || platform.CompareOrdinalIgnoreCase(image, *first) < 0) first = image;
    }
    return first;
}

int PruefeLaufendeProgrammeP2(StepContext& context) {
    return RefuseWhileRunning(context, context.state.CmdLineDir);
}

int PruefeLaufendeProgramme10(StepContext& context) {
    return RefuseWhileRunning(context, context.state.InstallDir);
}

}  // namespace mvn

#include "backup/install_archive_step.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "backup/install_archiver.h"
#include "backup/zip/archive_files.h"
#include "platform/path_text.h"

namespace mvn {
namespace {

bool IsDriveSpec(const std::wstring& dir) {
    const bool letter = dir.size() >= 2 && IsDriveLetter(dir[0]);
    return letter && dir[1] == L':' && (dir.size() == 2 || (dir.size() == 3 && dir[2] == L'\\'));
}

bool IsShareRoot(const std::wstring& dir) {
    if (dir.size() < 2 || dir[0] != L'\\' || dir[1] != L'\\') return false;
    std::wstring rest = dir.substr(2);
    while (!rest.empty() && rest.back() == L'\\') rest.pop_back();
    // \\server, \\server\share: nothing below the share.
    const std::size_t first = rest.find(L'\\');
    return first == std::wstring::npos || rest.find(L'\\', first + 1) == std::wstring::npos;
}

// "D:\Apps\Morvane\" (a command line ending in two backslashes) names the same directory as
// "D:\Apps\Morvane" and is archived as that, entry names and all; only the archive sees the difference.
std::wstring WithoutTrailingBackslashes(std::wstring dir) {
    while (!dir.empty() && dir.back() == L'\\') dir.pop_back();
    return dir;
}

bool SameAsciiInsensitive(const std::wstring& a, const std::wstring& b) {
    const auto lower = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c; };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [&](wchar_t x, wchar_t y) { return lower(x) == lower(y); });
}

// An existence test that fails (a share that drops for a moment) looks like a missing file; the
// walk has just listed the directory, so a file it saw is there to be saved and put back.
bool WalkSawFile(const WalkSnapshot& walked, const std::wstring& path) {
    return std::any_of(walked.begin(), walked.end(), [&](const WalkedEntry& e) {
        return (e.attributes & kAttributeDirectory) == 0 && SameAsciiInsensitive(e.path, path);
    });
}

// Replaces a file the step owns. CopyFileExW gives the copy the source's attributes, so a read-only
// start INI leaves a read-only saved copy that the next run of this user could not replace.
bool ReplaceOwnFile(Platform& platform, const std::wstring& from, const std::wstring& to) {
    platform.MakeReplaceable(to);  // when this fails, the copy fails and says so
    return platform.CopyFileReplacing(from, to);
}

// The part of the step that may fail. Its order is what keeps the user's files safe: the
// directory is touched only after the archive has been proven, a start INI that could not be
// saved keeps the directory as it is, and so does anything that changed after the walk, which
// no proven archive holds.
int ArchiveAndEmpty(StepContext& context, const std::wstring& tempDir) {
    const std::wstring& dir = context.state.CmdLineDir;
    Platform& platform = context.platform;
    // "D:\.", "D:\\" or "." in a root directory are roots as well once resolved.
    if (IsRefusedInstallDir(dir) || IsRefusedInstallDir(platform.FullPath(dir))) return 1;
    if (tempDir.empty() || context.archiver == nullptr) return 1;
    const std::wstring walkedDir = WithoutTrailingBackslashes(dir);
    const std::wstring archive = tempDir + L"mvnaltinst.zip";
    platform.MakeReplaceable(archive);  // a failure shows when the archive is created
    if (!context.archiver->WriteVerifiedArchive(archive, walkedDir, platform.ModuleFileName())) return 1;

    const std::wstring startIni = dir + L"\\MorvaneStart.ini";
    const std::wstring savedStartIni = tempDir + L"MorvaneStart.ini";
    const bool hasStartIni = platform.FileExists(startIni) ||
                             WalkSawFile(context.archiver->Walked(), walkedDir + L"\\MorvaneStart.ini");
    if (hasStartIni && !ReplaceOwnFile(platform, startIni, savedStartIni)) return 1;
    if (!context.archiver->StillAsWalked(walkedDir)) return 1;

    // From here on a run that does not complete puts the old installation back.
    // Whether the old installation held an archive of its own is what the walk saw: an existence
    // test that failed would have the restore delete that file of the old installation.
    const bool heldArchive = WalkSawFile(context.archiver->Walked(), walkedDir + L"\\mvnaltinst.zip");
    context.state.Emptied = EmptiedInstallDir{walkedDir, archive, !heldArchive};
    platform.DeleteFiles(dir + L"\\*.*");

    int result = 0;
    if (hasStartIni && !ReplaceOwnFile(platform, savedStartIni, startIni)) result = 1;
    if (!ReplaceOwnFile(platform, archive, dir + L"\\mvnaltinst.zip")) result = 1;
    return result;
}

}  // namespace

bool IsRefusedInstallDir(const std::wstring& given) {
    const std::wstring dir = WithoutLongPathPrefix(given);
    return dir.empty() || dir == L"\\" || IsDriveSpec(dir) || IsShareRoot(dir);
}

bool RestoreInstallation(StepContext& context) {
    if (!context.state.Emptied) return true;
    // Cleared first: a click handled while the dialog below is open must not start it again.
    const EmptiedInstallDir emptied = *std::exchange(context.state.Emptied, std::nullopt);
    View& view = context.view;
    Platform& platform = context.platform;
    view.SetWaitCursor();
    const bool complete =
        context.archiver != nullptr &&
        context.archiver->RestoreInstallation(emptied.archivePath, emptied.installDir, platform);
    // What the run added goes only once the old installation is whole again; until then the copy
    // is one more of the only backup there is.
    if (complete && emptied.archiveCopyAdded)
        platform.DeleteSingleFile(emptied.installDir + L"\\mvnaltinst.zip");
    view.RestoreCursor();
    if (!complete) view.ShowError(std::wstring(kRestoreFailed) + emptied.archivePath);
    return complete;
}

int SaveMVNInst(StepContext& context) {
    View& view = context.view;
    view.SetWaitCursor();
    view.ProcessPendingMessages();
    const std::wstring tempDir = context.platform.TempPath();
    int result = 1;
    try {
        result = ArchiveAndEmpty(context, tempDir);
    } catch (const std::exception&) {
        result = 1;
    }
    view.RestoreCursor();
    view.ProcessPendingMessages();
    return result;
}

}  // namespace mvn

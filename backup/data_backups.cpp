#include "backup/data_backups.h"

namespace mvn {
namespace {

// Stops at the first failed copy; what was copied before stays.
int BackupFiles(Platform& platform, const std::wstring& dir, std::size_t first, std::size_t last) {
    for (std::size_t i = first; i <= last; ++i) {
        const std::wstring name(BackupFileNames[i]);
        if (!platform.CopyFileReplacing(dir + name, dir + std::wstring(kBackupPrefix) + name)) return 1;
    }
    return 0;
}

}  // namespace

bool ForceDirectories(Platform& platform, std::wstring path) {
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    if (path.empty()) return false;
    if (platform.DirectoryExists(path)) return true;
    const std::size_t slash = path.find_last_of(L'\\');
    if (slash != std::wstring::npos && slash > 0) {
        const std::wstring parent = path.substr(0, slash);
        const bool parentIsDrive = parent.size() == 2 && parent[1] == L':';
        if (!parentIsDrive && !ForceDirectories(platform, parent)) return false;
    }
    // Another process may have created it meanwhile; that is as good.
    return platform.CreateSingleDirectory(path) || platform.DirectoryExists(path);
}

int BackupFormKatalog(StepContext& context) {
    return BackupFiles(context.platform, context.state.FormsDir, 0, 5);
}

int BackupFaecherkanon(StepContext& context) {
    return BackupFiles(context.platform, context.state.DataDir, 6, 7);
}

int BackupNKK(StepContext& context) {
    return BackupFiles(context.platform, context.state.NkkDir, 8, 11);
}

int BackupFormHilfePfad(StepContext& context) {
    const std::wstring& base = context.state.BaseDir;
    const std::wstring source = base + L"Formulierungen\\";
    const std::wstring target = base + std::wstring(kBackupPrefix) + L"Formulierungen";
    if (!ForceDirectories(context.platform, target)) {
        context.view.ShowError(std::wstring(kBackupFolderFailed));
        return 1;
    }
    const ShellResult copied = context.platform.CopyFolder(source, target);
    if (copied.code != 0) return copied.code;
    // A cancelled or partly skipped copy is no backup, whatever the shell's result says.
    return copied.anyOperationsAborted ? 1 : 0;
}

}  // namespace mvn

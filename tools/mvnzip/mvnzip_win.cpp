// mvnzip.exe: the native tool (mvnzip_posix.cpp) over the Win32 file port, so that the archive's cost
// under Wine or Windows can be told apart from the rest of the program's step.
//   mvnzip.exe [--skip-verify] [--times] DIRECTORY ARCHIVE   as mvnzip does natively
//   mvnzip.exe --step DIRECTORY                              the program's archive step, phase by phase
//   mvnzip.exe --delete-tree [--notify|--shell] DIRECTORY    the step's emptying, with or without the shell
// --step runs SaveMVNInst itself over Win32Platform: DIRECTORY is emptied and then holds only the
// archive and its start INI, and the archive stays in the temporary folder, as after the program.
#include <windows.h>

#include <shlobj.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "backup/install_archive_step.h"
#include "backup/zip/archive_files.h"
#include "backup/zip_install_archiver.h"
#include "platform/win32_platform_win.h"
#include "tools/mvnzip/timed_files.h"
#include "tools/mvnzip/timed_step.h"

namespace {

int Usage() {
    std::fputs(
        "usage: mvnzip.exe [--skip-verify] [--times] DIRECTORY ARCHIVE\n"
        "       mvnzip.exe --step DIRECTORY\n"
        "  --skip-verify  leave out the read-back check (for timing the writer alone)\n"
        "  --times        print the seconds of writing and of reading back\n"
        "  --step         run the program's archive step on DIRECTORY (emptying it) and print the\n"
        "                 seconds of each of its phases\n"
        "  --delete-tree  empty DIRECTORY with DeleteFileW and RemoveDirectoryW alone and print the\n"
        "                 seconds; --notify adds the SHChangeNotify the shell sends per deleted item,\n"
        "                 --shell empties it as the step does (Win32Platform::DeleteFiles)\n",
        stderr);
    return 1;
}

bool StartsWithIgnoringCase(const std::wstring& text, const std::wstring& prefix) {
    return text.size() >= prefix.size() &&
           ::CompareStringOrdinal(text.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                                  static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}

class FindHandle {
public:
    explicit FindHandle(HANDLE h) : h_(h) {}
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    ~FindHandle() {
        if (h_ != INVALID_HANDLE_VALUE) ::FindClose(h_);
    }
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};

// What the shell's delete does for each item, without the shell around it: the emptying's floor
// over Wine's (or Windows') file calls.
struct TreeDeleter {
    bool notify = false;
    int items = 0;
    int failed = 0;

    void Empty(const std::wstring& dir) {
        std::vector<std::pair<std::wstring, bool>> children;  // listed whole, then deleted
        WIN32_FIND_DATAW data{};
        {
            const FindHandle find(::FindFirstFileW((dir + L"\\*").c_str(), &data));
            if (find.get() == INVALID_HANDLE_VALUE) return;
            do {
                const std::wstring name = data.cFileName;
                if (name != L"." && name != L"..")
                    children.emplace_back(dir + L"\\" + name,
                                          (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
            } while (::FindNextFileW(find.get(), &data));
        }
        for (const auto& [path, isDirectory] : children) {
            if (isDirectory) Empty(path);
            ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            const bool ok = isDirectory ? ::RemoveDirectoryW(path.c_str()) : ::DeleteFileW(path.c_str());
            if (!ok) ++failed;
            if (ok && notify)
                ::SHChangeNotify(isDirectory ? SHCNE_RMDIR : SHCNE_DELETE, SHCNF_PATHW, path.c_str(),
                                 nullptr);
            ++items;
        }
    }
};

int RunDeleteTree(mvn::Win32Platform& platform, const std::wstring& directory, bool notify, bool shell) {
    TreeDeleter deleter{notify};
    const auto start = std::chrono::steady_clock::now();
    if (shell) {
        if (!platform.DeleteFiles(directory + L"\\*.*")) deleter.failed = 1;
    } else {
        deleter.Empty(directory);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("delete-tree %.3f %d\n", seconds, deleter.items);
    if (deleter.failed != 0) std::fprintf(stderr, "mvnzip: %d items not deleted\n", deleter.failed);
    return deleter.failed == 0 ? 0 : 1;
}

int RunStep(mvn::Win32Platform& platform, mvn::ZipInstallArchiver& archiver,
            const mvn::bench::TimedFiles& files, const std::wstring& directory) {
    const mvn::bench::StepTimes times = mvn::bench::RunTimedStep(platform, archiver, directory);
    if (!times.problem.empty()) {
        std::fprintf(stderr, "mvnzip: %s %s\n", times.problem.c_str(), archiver.LastError().c_str());
        return 1;
    }
    mvn::bench::PrintTimes(stdout, times);
    mvn::bench::PrintCalls(stdout, files.Calls());
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int first = 1;
    bool verify = true;
    bool times = false;
    bool step = false;
    bool deleteTree = false;
    bool notify = false;
    bool shell = false;
    for (; first < argc && std::wstring(argv[first]).starts_with(L"--"); ++first) {
        const std::wstring option = argv[first];
        if (option == L"--skip-verify") {
            verify = false;
        } else if (option == L"--times") {
            times = true;
        } else if (option == L"--step") {
            step = true;
        } else if (option == L"--delete-tree") {
            deleteTree = true;
        } else if (option == L"--notify") {
            notify = true;
        } else if (option == L"--shell") {
            shell = true;
        } else {
            return Usage();
        }
    }
    const bool oneDirectory = step || deleteTree;
    if (argc - first != (oneDirectory ? 1 : 2) || (oneDirectory && (!verify || times)) ||
        (step && deleteTree) || (notify && !deleteTree)) {
        return Usage();
    }

    mvn::Win32Platform platform;
    const std::wstring directory = platform.FullPath(argv[first]);
    if (!platform.DirectoryExists(directory) || mvn::IsRefusedInstallDir(directory)) {
        std::fputs("mvnzip: not a directory below the root\n", stderr);
        return 1;
    }
    if (deleteTree) return RunDeleteTree(platform, directory, notify, shell);
    const auto files = mvn::MakeWin32ArchiveFiles();
    mvn::bench::TimedFiles timedFiles(*files);
    mvn::ZipInstallArchiver archiver(timedFiles);
    if (step) return RunStep(platform, archiver, timedFiles, directory);

    const std::wstring archive = platform.FullPath(argv[first + 1]);
    if (archive.empty() || StartsWithIgnoringCase(archive, directory + L"\\")) {
        // The walk would read the archive while it grows.
        std::fputs("mvnzip: the archive must lie outside the directory\n", stderr);
        return 1;
    }
    const mvn::bench::ArchiveTimes run =
        mvn::bench::RunTimedArchive(archiver, archive, directory, platform.ModuleFileName(), verify);
    if (!run.ok) {
        std::fprintf(stderr, "mvnzip: %s\n", archiver.LastError().c_str());
        return 1;
    }
    if (times) {
        mvn::bench::PrintTimes(stdout, run);
        mvn::bench::PrintCalls(stdout, timedFiles.Calls());
    }
    return 0;
}

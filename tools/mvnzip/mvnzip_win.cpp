// mvnzip.exe: the native tool (mvnzip_posix.cpp) over the Win32 file port, so that the archive's cost
// under Wine or Windows can be told apart from the rest of the program's step.
//   mvnzip.exe [--skip-verify] [--times] DIRECTORY ARCHIVE   as mvnzip does natively
//   mvnzip.exe --step DIRECTORY                              the program's archive step, phase by phase
// --step runs SaveMVNInst itself over Win32Platform: DIRECTORY is emptied and then holds only the
// archive and its start INI, and the archive stays in the temporary folder, as after the program.
#include <windows.h>

#include <cstdio>
#include <string>

#include "backup/install_archive_step.h"
#include "backup/zip/archive_files.h"
#include "backup/zip_install_archiver.h"
#include "platform/win32_platform_win.h"
#include "tools/mvnzip/timed_step.h"

namespace {

int Usage() {
    std::fputs(
        "usage: mvnzip.exe [--skip-verify] [--times] DIRECTORY ARCHIVE\n"
        "       mvnzip.exe --step DIRECTORY\n"
        "  --skip-verify  leave out the read-back check (for timing the writer alone)\n"
        "  --times        print the seconds of writing and of reading back\n"
        "  --step         run the program's archive step on DIRECTORY (emptying it) and print the\n"
        "                 seconds of each of its phases\n",
        stderr);
    return 1;
}

bool StartsWithIgnoringCase(const std::wstring& text, const std::wstring& prefix) {
    return text.size() >= prefix.size() &&
           ::CompareStringOrdinal(text.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                                  static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}

int RunStep(mvn::Win32Platform& platform, mvn::ZipInstallArchiver& archiver, const std::wstring& directory) {
    const mvn::bench::StepTimes times = mvn::bench::RunTimedStep(platform, archiver, directory);
    if (!times.problem.empty()) {
        std::fprintf(stderr, "mvnzip: %s %s\n", times.problem.c_str(), archiver.LastError().c_str());
        return 1;
    }
    mvn::bench::PrintTimes(stdout, times);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int first = 1;
    bool verify = true;
    bool times = false;
    bool step = false;
    for (; first < argc && std::wstring(argv[first]).starts_with(L"--"); ++first) {
        const std::wstring option = argv[first];
        if (option == L"--skip-verify") {
            verify = false;
        } else if (option == L"--times") {
            times = true;
        } else if (option == L"--step") {
            step = true;
        } else {
            return Usage();
        }
    }
    if (argc - first != (step ? 1 : 2) || (step && (!verify || times))) return Usage();

    mvn::Win32Platform platform;
    const std::wstring directory = platform.FullPath(argv[first]);
    if (!platform.DirectoryExists(directory) || mvn::IsRefusedInstallDir(directory)) {
        std::fputs("mvnzip: not a directory below the root\n", stderr);
        return 1;
    }
    const auto files = mvn::MakeWin32ArchiveFiles();
    mvn::ZipInstallArchiver archiver(*files);
    if (step) return RunStep(platform, archiver, directory);

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
    if (times) mvn::bench::PrintTimes(stdout, run);
    return 0;
}

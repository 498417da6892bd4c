// mvnzip [--skip-verify] [--times] DIRECTORY ARCHIVE: writes the installation archive that the archive
// step of MVNUpdaterP2_10 writes for DIRECTORY (same walk, same writer, same read-back check), natively.
// Exit code 0 or 1. mvnzip_win.cpp is the same tool over the Win32 file port.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

#include "backup/zip/archive_files.h"
#include "backup/zip/utf8.h"
#include "backup/zip_install_archiver.h"
#include "tools/mvnzip/timed_files.h"
#include "tools/mvnzip/timed_step.h"

namespace {

namespace fs = std::filesystem;

// The walk works on Windows paths; the POSIX port maps the backslashes back.
std::wstring WindowsPath(const std::string& path) {
    std::wstring wide = mvn::zip::FromUtf8(path);
    for (wchar_t& c : wide) {
        if (c == L'/') c = L'\\';
    }
    return wide;
}

std::string OwnPath() {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    return error ? std::string() : self.string();
}

int Usage() {
    std::fputs(
        "usage: mvnzip [--skip-verify] [--times] DIRECTORY ARCHIVE\n"
        "  --skip-verify  leave out the read-back check (for timing the writer alone)\n"
        "  --times        print the seconds of writing and of reading back\n",
        stderr);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    int first = 1;
    bool verify = true;
    bool times = false;
    for (; first < argc && std::strncmp(argv[first], "--", 2) == 0; ++first) {
        if (std::strcmp(argv[first], "--skip-verify") == 0) {
            verify = false;
        } else if (std::strcmp(argv[first], "--times") == 0) {
            times = true;
        } else {
            return Usage();
        }
    }
    if (argc - first != 2) return Usage();

    std::error_code error;
    const fs::path directory = fs::canonical(argv[first], error);
    if (error || !fs::is_directory(directory) || directory == directory.root_path()) {
        std::fprintf(stderr, "mvnzip: not a directory below the root: %s\n", argv[first]);
        return 1;
    }
    const fs::path archive = fs::weakly_canonical(argv[first + 1], error);
    const auto [end, _] = std::mismatch(directory.begin(), directory.end(), archive.begin(), archive.end());
    if (error || end == directory.end()) {
        // The walk would read the archive while it grows.
        std::fprintf(stderr, "mvnzip: the archive must lie outside the directory: %s\n", argv[first + 1]);
        return 1;
    }

    const auto files = mvn::MakePosixArchiveFiles();
    mvn::bench::TimedFiles timedFiles(*files);
    mvn::ZipInstallArchiver archiver(timedFiles);
    const mvn::bench::ArchiveTimes run =
        mvn::bench::RunTimedArchive(archiver, WindowsPath(archive.string()), WindowsPath(directory.string()),
                                    WindowsPath(OwnPath()), verify);
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

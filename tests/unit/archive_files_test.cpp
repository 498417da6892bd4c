// The file port of this platform (POSIX natively, Win32 under Wine) and the archiver over real files.
#include "backup/zip/archive_files.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "backup/zip/utf8.h"
#include "backup/zip/zip_verify.h"
#include "backup/zip_install_archiver.h"
#include "gtest/gtest.h"

namespace mvn {
namespace {

namespace fs = std::filesystem;

std::unique_ptr<ArchiveFiles> PlatformFiles() {
#ifdef _WIN32
    return MakeWin32ArchiveFiles();
#else
    return MakePosixArchiveFiles();
#endif
}

// The ports take Windows paths; on POSIX the port turns the backslashes back into slashes.
std::wstring PortPath(const fs::path& p) {
#ifdef _WIN32
    std::wstring text = p.wstring();
#else
    const std::u8string utf8 = p.u8string();
    std::wstring text = zip::FromUtf8(std::string(utf8.begin(), utf8.end()));
#endif
    for (wchar_t& c : text) {
        if (c == L'/') c = L'\\';
    }
    return text;
}

class TempDir {
public:
    TempDir() {
        std::random_device random;
        path_ = fs::temp_directory_path() / ("mvn_zip_test_" + std::to_string(random()));
        fs::create_directories(path_);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ignored;
        fs::permissions(path_ / "ro.txt", fs::perms::owner_write, fs::perm_options::add, ignored);
        fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

void WriteFile(const fs::path& p, const std::string& content) {
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary);
    out << content;
    ASSERT_TRUE(out.good()) << p;
}

fs::file_time_type FileTime(std::int64_t unixSeconds) {
    const std::chrono::sys_seconds when{std::chrono::seconds{unixSeconds}};
    return std::chrono::time_point_cast<fs::file_time_type::duration>(
        fs::file_time_type::clock::from_sys(when));
}

std::vector<std::wstring> Listed(ArchiveFiles& files, const fs::path& dir) {
    std::vector<std::wstring> names;
    const std::vector<DirEntry> entries = files.List(PortPath(dir) + L"\\*.*").value();
    for (const DirEntry& e : entries) {
        if (e.name != L"." && e.name != L"..") names.push_back(e.name);
    }
    return names;
}

TEST(ArchiveFiles, ListsSortedAsWindowsDoesWithAttributes) {
    TempDir temp;
    for (const char* name : {"b.txt", "_x.txt", "A.txt"}) WriteFile(temp.path() / name, "x");
    WriteFile(temp.path() / "ro.txt", "x");
    fs::permissions(temp.path() / "ro.txt",
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    fs::create_directory(temp.path() / "c");
    const auto files = PlatformFiles();

    EXPECT_EQ(Listed(*files, temp.path()),
              (std::vector<std::wstring>{L"A.txt", L"b.txt", L"c", L"ro.txt", L"_x.txt"}));
    const std::vector<DirEntry> entries = files->List(PortPath(temp.path()) + L"\\*.*").value();
    for (const DirEntry& e : entries) {
        if (e.name == L"c") {
            EXPECT_NE(e.attributes & kAttributeDirectory, 0u);
        } else if (e.name == L"b.txt") {
            EXPECT_EQ(e.attributes & (kAttributeDirectory | kAttributeReadOnly), 0u);
        } else if (e.name == L"ro.txt") {
            EXPECT_NE(e.attributes & kAttributeReadOnly, 0u);
        }
    }
    EXPECT_FALSE(files->List(PortPath(temp.path() / "missing") + L"\\*.*").has_value());
    EXPECT_EQ(files->OpenFile(PortPath(temp.path() / "missing.txt")), nullptr);
}

TEST(ArchiveFiles, SourceReportsSizeAttributesAndAPre1980Year) {
    TempDir temp;
    const fs::path file = temp.path() / "old.txt";
    WriteFile(file, "twelve bytes");
    // Mid-year, so no time zone moves it into another year.
    fs::last_write_time(file, FileTime(172065600));  // 1975-06-15 12:00 UTC
    const auto source = PlatformFiles()->OpenFile(PortPath(file));
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->Size(), 12u);
    EXPECT_EQ(source->LastWriteTime().year, 1975);
    EXPECT_EQ(source->Attributes() & kAttributeDirectory, 0u);
    // The listing tells size and time too, as FILETIME ticks: the second walk compares them.
    const std::vector<DirEntry> listed = PlatformFiles()->List(PortPath(temp.path()) + L"\\*.*").value();
    const auto entry =
        std::find_if(listed.begin(), listed.end(), [](const DirEntry& e) { return e.name == L"old.txt"; });
    ASSERT_NE(entry, listed.end());
    EXPECT_EQ(entry->size, 12u);
    EXPECT_EQ(entry->lastWrite, 116444736000000000ull + 172065600ull * 10000000ull);
}

#ifndef _WIN32
TEST(ArchiveFiles, LastWriteTimeIsLocalTime) {
    const char* saved = std::getenv("TZ");
    const std::string restore = saved ? saved : "";
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    TempDir temp;
    const fs::path file = temp.path() / "t.txt";
    WriteFile(file, "");
    fs::last_write_time(file, FileTime(981173107));  // 2001-02-03 04:05:07 UTC
    const auto source = PlatformFiles()->OpenFile(PortPath(file));
    ASSERT_NE(source, nullptr);
    const LocalTime t = source->LastWriteTime();
    EXPECT_EQ((std::vector<int>{t.year, t.month, t.day, t.hour, t.minute, t.second}),
              (std::vector<int>{2001, 2, 3, 4, 5, 7}));
    if (saved) {
        ::setenv("TZ", restore.c_str(), 1);
    } else {
        ::unsetenv("TZ");
    }
    ::tzset();
}
#endif

TEST(ArchiveFiles, CreateArchiveReplacesAnOlderFile) {
    TempDir temp;
    const fs::path archive = temp.path() / "mvnaltinst.zip";
    WriteFile(archive, std::string(1000, 'o'));
    {
        const auto sink = PlatformFiles()->CreateArchive(PortPath(archive));
        ASSERT_NE(sink, nullptr);
        const std::byte bytes[3] = {std::byte{1}, std::byte{2}, std::byte{3}};
        ASSERT_TRUE(sink->Write(bytes));
        ASSERT_TRUE(sink->Seek(1));
        ASSERT_TRUE(sink->Write(std::span(bytes).first(1)));
    }
    EXPECT_EQ(fs::file_size(archive), 3u);
    const auto reader = PlatformFiles()->OpenArchive(PortPath(archive));
    ASSERT_NE(reader, nullptr);
    std::byte back[3]{};
    ASSERT_TRUE(reader->ReadAt(0, back));
    EXPECT_EQ(back[1], std::byte{1});
    EXPECT_FALSE(reader->ReadAt(1, back)) << "reads past the end fail";
}

TEST(ArchiveFiles, ArchiverOverRealFiles) {
    TempDir temp;
    const fs::path install = temp.path() / "Morvane";
    WriteFile(install / "Morvane9.EXE", std::string(50000, 'M'));
    WriteFile(install / "Sub" / "a.txt", "a");
    WriteFile(install / "Sub" / "leer.txt", "");
    WriteFile(install / fs::path(u8"Zeugnis \u00e4\u20ac.txt"), "z");
    WriteFile(install / "mvnaltinst.zip", "an archive of an earlier run");
    WriteFile(install / "MVNUpdaterP2_10.exe", "me");
    fs::create_directories(install / "Leer");
    const auto files = PlatformFiles();
    ZipInstallArchiver archiver(*files);
    const std::wstring archive = PortPath(temp.path() / "mvnaltinst.zip");

    ASSERT_TRUE(
        archiver.WriteVerifiedArchive(archive, PortPath(install), PortPath(install / "MVNUpdaterP2_10.exe")))
        << archiver.LastError();
    const auto reader = files->OpenArchive(archive);
    ASSERT_NE(reader, nullptr);
    const ZipVerifyResult result = ZipVerify(*reader);
    ASSERT_TRUE(result.ok) << result.problem;
    std::vector<std::string> names;
    for (const ZipEntryInfo& e : result.entries) names.push_back(e.record.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Morvane\\Sub\\a.txt", "Morvane\\Sub\\leer.txt",
                                               "Morvane\\Morvane9.EXE", "Morvane\\mvnaltinst.zip",
                                               "Morvane\\Zeugnis \xc3\xa4\xe2\x82\xac.txt"}));
}

#ifdef _WIN32
TEST(ArchiveFiles, FileHeldOpenForWritingCannotBeArchived) {
    TempDir temp;
    const fs::path install = temp.path() / "Morvane";
    WriteFile(install / "busy.txt", "busy");
    FILE* writer = _wfopen((install / "busy.txt").wstring().c_str(), L"ab");
    ASSERT_NE(writer, nullptr);
    const auto files = PlatformFiles();
    EXPECT_EQ(files->OpenFile(PortPath(install / "busy.txt")), nullptr);
    ZipInstallArchiver archiver(*files);
    EXPECT_FALSE(archiver.WriteVerifiedArchive(PortPath(temp.path() / "a.zip"), PortPath(install), L""));
    std::fclose(writer);
    EXPECT_NE(files->OpenFile(PortPath(install / "busy.txt")), nullptr);
}
#endif

}  // namespace
}  // namespace mvn

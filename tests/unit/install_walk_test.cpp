// The walk of the installation directory and ZipInstallArchiver over a fake file system: which files
// go into the archive, in which order, under which names, and that every failure is reported.
#include "backup/zip/install_walk.h"

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "backup/zip/zip_verify.h"
#include "backup/zip/zip_writer.h"
#include "backup/zip_install_archiver.h"
#include "gtest/gtest.h"
#include "zip_test_io.h"

namespace mvn {
namespace {

using test::MemoryArchive;
using test::MemorySink;
using test::MemorySource;

class FakeFiles final : public ArchiveFiles {
public:
    // Paths without a trailing backslash; a node is listed in its parent in the order it was added.
    void AddDir(const std::wstring& path, std::uint32_t attributes = kAttributeDirectory) {
        Add(path, attributes | kAttributeDirectory, {});
        children_[path];
    }
    void AddFile(const std::wstring& path, std::string content = "x",
                 std::uint32_t attributes = kAttributeArchive) {
        Add(path, attributes, std::move(content));
    }

    std::optional<std::vector<DirEntry>> List(const std::wstring& pattern) override {
        const std::wstring suffix = L"\\*.*";
        if (pattern.size() < suffix.size() ||
            pattern.compare(pattern.size() - suffix.size(), suffix.size(), suffix) != 0) {
            return std::nullopt;
        }
        const std::wstring dir = pattern.substr(0, pattern.size() - suffix.size());
        const auto it = children_.find(dir);
        if (it == children_.end() || unreadable.count(dir)) return std::nullopt;
        std::vector<DirEntry> entries = {{L".", kAttributeDirectory}, {L"..", kAttributeDirectory}};
        entries.insert(entries.end(), it->second.begin(), it->second.end());
        return entries;
    }
    std::unique_ptr<Source> OpenFile(const std::wstring& path) override {
        const auto it = contents_.find(path);
        if (it == contents_.end() || locked.count(path)) return nullptr;
        opened.push_back(path);
        return std::make_unique<MemorySource>(it->second, LocalTime{2020, 2, 29, 23, 59, 59},
                                              attributes_.at(path));
    }
    std::unique_ptr<Sink> CreateArchive(const std::wstring& path) override {
        if (!canCreate) return nullptr;
        archives[path] = std::make_shared<MemorySink>();
        return std::make_unique<SharedSink>(archives[path], canCommit);
    }
    std::unique_ptr<RandomAccessSource> OpenArchive(const std::wstring& path) override {
        const auto it = archives.find(path);
        if (it == archives.end()) return nullptr;
        std::vector<std::byte> bytes = it->second->bytes;
        if (otherOnReadBack) bytes = OtherArchive();
        if (readBackInstead) bytes = readBackInstead();
        if (cannotReopen) return nullptr;
        if (damageOnReadBack && !bytes.empty()) bytes[bytes.size() / 2] ^= std::byte{0x10};
        return std::make_unique<MemoryArchive>(std::move(bytes));
    }

    std::vector<std::wstring> opened;
    std::set<std::wstring> locked;
    std::set<std::wstring> unreadable;
    std::map<std::wstring, std::shared_ptr<MemorySink>> archives;
    bool canCreate = true;
    bool canCommit = true;  // false: a write error shows only when the archive is flushed
    bool damageOnReadBack = false;
    bool otherOnReadBack = false;  // a sound archive, but not the one written
    std::function<std::vector<std::byte>()> readBackInstead;
    bool cannotReopen = false;

private:
    static std::vector<std::byte> OtherArchive() {
        MemorySink sink;
        ZipWriter writer(sink);
        MemorySource content("anders");
        writer.Add(L"Morvane\\b.txt", content);
        writer.Close();
        return sink.bytes;
    }

    class SharedSink final : public Sink {
    public:
        SharedSink(std::shared_ptr<MemorySink> sink, bool commits)
            : sink_(std::move(sink)), commits_(commits) {}
        bool Write(std::span<const std::byte> data) override { return sink_->Write(data); }
        std::uint64_t Tell() const override { return sink_->Tell(); }
        bool Seek(std::uint64_t position) override { return sink_->Seek(position); }
        bool Commit() override { return commits_; }

    private:
        std::shared_ptr<MemorySink> sink_;
        bool commits_;
    };

    void Add(const std::wstring& path, std::uint32_t attributes, std::string content) {
        const std::size_t slash = path.rfind(L'\\');
        children_[path.substr(0, slash)].push_back({path.substr(slash + 1), attributes});
        attributes_[path] = attributes;
        if ((attributes & kAttributeDirectory) == 0) contents_[path] = std::move(content);
    }

    std::map<std::wstring, std::vector<DirEntry>> children_;
    std::map<std::wstring, std::uint32_t> attributes_;
    std::map<std::wstring, std::string> contents_;
};

const std::wstring kInstall = L"C:\\Apps\\Ostrana\\Morvane";

// A sound archive of two entries, as the table below writes it with one thing changed.
std::vector<std::byte> TwoEntries(const std::string& aContent, const std::wstring& secondName,
                                  const std::string& secondContent) {
    MemorySink sink;
    ZipWriter writer(sink);
    MemorySource a(aContent), b(secondContent);
    writer.Add(L"Morvane\\Sub\\a.txt", a);
    writer.Add(secondName, b);
    writer.Close();
    return sink.bytes;
}
const std::wstring kArchive = L"C:\\Temp\\mvnaltinst.zip";

std::vector<std::string> Names(const ZipVerifyResult& result) {
    std::vector<std::string> names;
    for (const ZipEntryInfo& e : result.entries) names.push_back(e.record.name);
    return names;
}

ZipVerifyResult ArchiveOf(FakeFiles& files, const std::wstring& ownModule = L"") {
    ZipInstallArchiver archiver(files);
    EXPECT_TRUE(archiver.WriteVerifiedArchive(kArchive, kInstall, ownModule)) << archiver.LastError();
    MemoryArchive archive(files.archives.at(kArchive)->bytes);
    return ZipVerify(archive);
}

TEST(InstallWalk, NameRootIsTheParentWithItsBackslash) {
    const struct {
        std::wstring dir, root;
    } cases[] = {
        {L"C:\\Apps\\Ostrana\\Morvane", L"C:\\Apps\\Ostrana\\"},
        {L"C:\\Morvane", L"C:\\"},
        {L"\\\\server\\share\\Morvane", L"\\\\server\\share\\"},
        {L"Morvane", L""},
    };
    for (const auto& c : cases) EXPECT_EQ(NameRoot(c.dir), c.root);
}

TEST(InstallWalk, SubdirectoryFilesComeBeforeTheDirectorysOwn) {
    FakeFiles files;
    files.AddDir(kInstall);
    files.AddFile(kInstall + L"\\Morvane9.EXE");
    files.AddDir(kInstall + L"\\Sub");
    files.AddFile(kInstall + L"\\Sub\\a.txt");
    EXPECT_EQ(Names(ArchiveOf(files)),
              (std::vector<std::string>{"Morvane\\Sub\\a.txt", "Morvane\\Morvane9.EXE"}));
}

TEST(InstallWalk, DepthFirstInListingOrderIncludingHiddenAndSystemFolders) {
    FakeFiles files;
    files.AddDir(kInstall);
    files.AddFile(kInstall + L"\\z.txt");
    files.AddDir(kInstall + L"\\B");
    files.AddFile(kInstall + L"\\B\\b.txt");
    files.AddDir(kInstall + L"\\B\\Deep");
    files.AddFile(kInstall + L"\\B\\Deep\\d.txt");
    files.AddDir(kInstall + L"\\Empty");
    files.AddDir(kInstall + L"\\Hidden", kAttributeHidden);
    files.AddFile(kInstall + L"\\Hidden\\h.txt", "h",
                  kAttributeHidden | kAttributeSystem | kAttributeArchive);
    files.AddDir(kInstall + L"\\System", kAttributeSystem);
    files.AddFile(kInstall + L"\\System\\s.txt");
    files.AddFile(kInstall + L"\\Zeugnis \u00e4\u20ac.txt", "", kAttributeReadOnly);
    files.AddFile(kInstall + L"\\a.txt");

    const ZipVerifyResult result = ArchiveOf(files);
    ASSERT_TRUE(result.ok) << result.problem;
    EXPECT_EQ(Names(result), (std::vector<std::string>{
                                 "Morvane\\B\\Deep\\d.txt",
                                 "Morvane\\B\\b.txt",
                                 "Morvane\\Hidden\\h.txt",
                                 "Morvane\\System\\s.txt",
                                 "Morvane\\z.txt",
                                 "Morvane\\Zeugnis \xc3\xa4\xe2\x82\xac.txt",
                                 "Morvane\\a.txt",
                             }));
    EXPECT_EQ(result.entries[2].record.externalAttributes, 0x26u);
    EXPECT_EQ(result.entries[5].record.externalAttributes, 0x01u);
    EXPECT_EQ(result.entries[5].record.modified, (zip::DosDateTime{0xBF7D, 0x505D}));
}

TEST(InstallWalk, OwnProgramIsSkippedOnlyOnAnExactMatch) {
    const struct {
        std::wstring ownModule;
        bool archived;
    } cases[] = {
        {kInstall + L"\\MVNUpdaterP2_10.exe", false},
        {kInstall + L"\\mvnupdaterp2_10.exe", true},
        {L"C:\\Apps\\Ostrana\\MORVAN~1\\MVNUpdaterP2_10.exe", true},
        {L"", true},
    };
    for (const auto& c : cases) {
        FakeFiles files;
        files.AddDir(kInstall);
        files.AddFile(kInstall + L"\\MVNUpdaterP2_10.exe");
        files.AddFile(kInstall + L"\\Morvane9.EXE");
        const std::vector<std::string> names = Names(ArchiveOf(files, c.ownModule));
        EXPECT_EQ(names.size(), c.archived ? 2u : 1u);
        EXPECT_EQ(names.back(), "Morvane\\Morvane9.EXE");
    }
}

// The control of the read-back rows below: the same archive written again is accepted.
TEST(InstallWalk, ReadBackAcceptsTheArchiveWrittenAgain) {
    FakeFiles files;
    files.AddDir(kInstall);
    files.AddDir(kInstall + L"\\Sub");
    files.AddFile(kInstall + L"\\Sub\\a.txt", std::string(5000, 'a'));
    files.AddFile(kInstall + L"\\b.txt");
    files.readBackInstead = [] { return TwoEntries(std::string(5000, 'a'), L"Morvane\\b.txt", "x"); };
    ZipInstallArchiver archiver(files);
    EXPECT_TRUE(archiver.WriteVerifiedArchive(kArchive, kInstall, L"")) << archiver.LastError();
}

TEST(InstallWalk, EveryFailureMakesTheArchiverReportFalse) {
    const struct {
        const char* what;
        void (*arrange)(FakeFiles&);
    } cases[] = {
        {"archive cannot be created", [](FakeFiles& f) { f.canCreate = false; }},
        {"a file is held open", [](FakeFiles& f) { f.locked.insert(kInstall + L"\\Sub\\a.txt"); }},
        {"a folder cannot be listed", [](FakeFiles& f) { f.unreadable.insert(kInstall + L"\\Sub"); }},
        {"installation folder is missing", [](FakeFiles& f) { f.unreadable.insert(kInstall); }},
        {"flushing the archive fails", [](FakeFiles& f) { f.canCommit = false; }},
        {"read-back finds damage", [](FakeFiles& f) { f.damageOnReadBack = true; }},
        {"read-back finds another archive", [](FakeFiles& f) { f.otherOnReadBack = true; }},
        // As many entries as written, each sound, one of them not the one written.
        {"read-back finds another CRC",
         [](FakeFiles& f) {
             f.readBackInstead = [] { return TwoEntries(std::string(5000, 'a'), L"Morvane\\b.txt", "y"); };
         }},
        {"read-back finds another name",
         [](FakeFiles& f) {
             f.readBackInstead = [] { return TwoEntries(std::string(5000, 'a'), L"Morvane\\c.txt", "x"); };
         }},
        {"read-back finds another size",
         [](FakeFiles& f) {
             f.readBackInstead = [] { return TwoEntries(std::string(5000, 'a'), L"Morvane\\b.txt", "xx"); };
         }},
        {"read-back cannot reopen the archive", [](FakeFiles& f) { f.cannotReopen = true; }},
        {"names that UTF-8 cannot hold",
         [](FakeFiles& f) {
             f.AddFile(kInstall + L"\\a" + wchar_t(0xD800) + L".txt");
             f.AddFile(kInstall + L"\\a" + wchar_t(0xDC00) + L".txt");
         }},
    };
    for (const auto& c : cases) {
        FakeFiles files;
        files.AddDir(kInstall);
        files.AddDir(kInstall + L"\\Sub");
        files.AddFile(kInstall + L"\\Sub\\a.txt", std::string(5000, 'a'));
        files.AddFile(kInstall + L"\\b.txt");
        c.arrange(files);
        ZipInstallArchiver archiver(files);
        EXPECT_FALSE(archiver.WriteVerifiedArchive(kArchive, kInstall, L"")) << c.what;
        EXPECT_FALSE(archiver.LastError().empty()) << c.what;
    }
}

}  // namespace
}  // namespace mvn

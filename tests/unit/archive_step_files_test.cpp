// The archive step with its real archiver over one file system in memory: walk, writer, read-back,
// start INI, emptying and copy back all work on the same files.
#include <gtest/gtest.h>
#include <iostream>
#include <map>
#include <set>
#include <zlib.h>

#include "backup/install_archive_step.h"
#include "backup/zip/utf8.h"
#include "backup/zip/zip_verify.h"
#include "backup/zip_install_archiver.h"
#include "fakes.h"
#include "memory_files.h"
#include "zip_test_io.h"

namespace mvn {
namespace {

using testing::FakeView;
using testing::MemoryFileSystem;

const std::wstring kDir = L"D:\\Apps\\Ostrana\\Morvane";
const std::wstring kTemp = L"C:\\Users\\lehrer\\AppData\\Local\\Temp\\";
const std::wstring kTempArchive = kTemp + L"mvnaltinst.zip";

struct Installation {
    MemoryFileSystem files;
    FakeView view;
    ZipInstallArchiver archiver{files};
    RunState state;
    StepContext context{state, view, files, &archiver};

    Installation() {
        state.CmdLineDir = kDir;
        files.AddDir(kTemp.substr(0, kTemp.size() - 1));
        files.AddFile(kDir + L"\\Morvane9.EXE", std::string(40000, 'M'));
        files.AddFile(kDir + L"\\MorvaneStart.ini", "[Setup]\r\nIniPfad=C:\\ProgramData\\Morvane\\\r\n");
        files.AddFile(kDir + L"\\Sub\\a.txt", "a");
        files.AddDir(kDir + L"\\Leer");
        files.AddDir(kDir + L"\\Versteckt", kAttributeHidden);
        files.AddFile(kDir + L"\\Versteckt\\h.txt", "h", kAttributeHidden | kAttributeArchive);
    }
};

std::vector<std::string> EntryNames(const MemoryFileSystem& files, const std::wstring& archive) {
    const std::optional<std::string> content = files.Content(archive);
    if (!content) return {};
    test::MemoryArchive bytes(test::BytesOf(*content));
    const ZipVerifyResult result = ZipVerify(bytes);
    if (!result.ok) return {"not sound: " + result.problem};
    std::vector<std::string> names;
    for (const ZipEntryInfo& e : result.entries) names.push_back(e.record.name);
    return names;
}

TEST(ArchiveStepOverFiles, ArchivesEverythingAndLeavesOnlyStartIniAndArchive) {
    Installation i;
    ASSERT_EQ(SaveMVNInst(i.context), 0) << i.archiver.LastError();
    EXPECT_EQ(i.files.Below(kDir),
              (std::vector<std::wstring>{kDir + L"\\MorvaneStart.ini", kDir + L"\\mvnaltinst.zip"}));
    EXPECT_EQ(i.files.Content(kDir + L"\\mvnaltinst.zip"), i.files.Content(kTempArchive));
    EXPECT_EQ(EntryNames(i.files, kTempArchive),
              (std::vector<std::string>{"Morvane\\Sub\\a.txt", "Morvane\\Versteckt\\h.txt",
                                        "Morvane\\Morvane9.EXE", "Morvane\\MorvaneStart.ini"}));
    EXPECT_EQ(i.files.Content(kDir + L"\\MorvaneStart.ini"), i.files.Content(kTemp + L"MorvaneStart.ini"));
    EXPECT_EQ(i.files.OpenHandles(), 0);
}

TEST(ArchiveStepOverFiles, AFileHeldOpenForWritingKeepsEverything) {
    Installation i;
    i.files.heldForWriting.insert(kDir + L"\\sub\\A.TXT");
    const std::vector<std::wstring> before = i.files.Below(kDir);
    EXPECT_EQ(SaveMVNInst(i.context), 1);
    EXPECT_EQ(i.files.Below(kDir), before);
    EXPECT_EQ(i.files.OpenHandles(), 0);
}

// Writing and proving a large archive takes minutes; on a network installation another PC may start
// the application meanwhile. What changes then is in no proven archive and must not be deleted.
TEST(ArchiveStepOverFiles, NothingIsDeletedWhenTheDirectoryChangedAfterItsWalk) {
    const struct {
        const char* change;
        void (*apply)(MemoryFileSystem&);
    } cases[] = {
        {"a file appeared", [](MemoryFileSystem& f) { f.AddFile(kDir + L"\\Sub\\Sperre.lck", "pc-12"); }},
        {"a file was rewritten", [](MemoryFileSystem& f) { f.Rewrite(kDir + L"\\Morvane9.EXE", "neu"); }},
        {"a folder appeared", [](MemoryFileSystem& f) { f.AddDir(kDir + L"\\Temp"); }},
    };
    for (const auto& c : cases) {
        Installation i;
        // The first copy is the saving of the start INI, after the archive has been proven.
        bool changed = false;
        i.files.beforeOperation = [&](const std::wstring& kind, const std::wstring&) {
            if (kind == L"copy" && !changed) c.apply(i.files), changed = true;
        };
        EXPECT_EQ(SaveMVNInst(i.context), 1) << c.change;
        EXPECT_TRUE(changed) << c.change;
        EXPECT_TRUE(i.files.HasFile(kDir + L"\\Morvane9.EXE")) << c.change;
        EXPECT_TRUE(i.files.HasFile(kDir + L"\\Sub\\a.txt")) << c.change;
        EXPECT_FALSE(i.files.HasFile(kDir + L"\\mvnaltinst.zip")) << c.change;
    }
}

// CopyFileExW gives a copy the source's attributes, and refuses to replace a read-only or hidden
// file: a read-only start INI on a protected share must not block every later run of this user.
TEST(ArchiveStepOverFiles, ReadOnlyHiddenOrSystemFilesOfEarlierRunsAreReplaced) {
    Installation i;
    const std::uint32_t blocking = kAttributeReadOnly | kAttributeHidden | kAttributeSystem;
    i.files.AddFile(kDir + L"\\MorvaneStart.ini", "[Setup]", kAttributeReadOnly | kAttributeArchive);
    i.files.AddFile(kTempArchive, "an earlier archive", blocking);
    i.files.AddFile(kTemp + L"MorvaneStart.ini", "an earlier start INI", blocking);
    for (int run = 1; run <= 2; ++run) {
        ASSERT_EQ(SaveMVNInst(i.context), 0) << "run " << run << ": " << i.archiver.LastError();
        EXPECT_EQ(i.files.Content(kDir + L"\\MorvaneStart.ini"), "[Setup]");
        EXPECT_EQ(i.files.Content(kDir + L"\\mvnaltinst.zip"), i.files.Content(kTempArchive));
        EXPECT_NE(i.files.Find(kTemp + L"MorvaneStart.ini")->attributes & kAttributeReadOnly, 0u)
            << "the copy keeps the source's attributes";
        EXPECT_NE(i.files.Find(kDir + L"\\MorvaneStart.ini")->attributes & kAttributeReadOnly, 0u);
    }
}

TEST(ArchiveStepOverFiles, TheArchiverKeepsWhatItsWalkSaw) {
    Installation i;
    i.files.AddFile(kDir + L"\\MVNUpdaterP2_10.exe", "me");
    ASSERT_TRUE(i.archiver.WriteVerifiedArchive(kTempArchive, kDir, kDir + L"\\MVNUpdaterP2_10.exe"));
    std::vector<std::wstring> seen;
    for (const WalkedEntry& e : i.archiver.Walked()) {
        const MemoryFileSystem::Node& node = *i.files.Find(e.path);
        EXPECT_EQ(e.attributes, node.attributes) << e.path;
        EXPECT_EQ(e.size, node.directory ? 0 : node.content.size()) << e.path;
        EXPECT_EQ(e.lastWrite, node.lastWrite) << e.path;
        seen.push_back(e.path);
    }
    // Folders as the walk enters them, files as it lists them; the program it skips is there too.
    EXPECT_EQ(seen, (std::vector<std::wstring>{kDir + L"\\Leer", kDir + L"\\Sub", kDir + L"\\Sub\\a.txt",
                                               kDir + L"\\Versteckt", kDir + L"\\Versteckt\\h.txt",
                                               kDir + L"\\Morvane9.EXE", kDir + L"\\MorvaneStart.ini",
                                               kDir + L"\\MVNUpdaterP2_10.exe"}));
    EXPECT_TRUE(i.archiver.StillAsWalked(kDir));

    i.files.failAt = i.files.operations + 1;
    EXPECT_FALSE(i.archiver.WriteVerifiedArchive(kTempArchive, kDir, L""));
    EXPECT_TRUE(i.archiver.Walked().empty()) << "a walk whose archive failed is nothing to go by";
    EXPECT_FALSE(i.archiver.StillAsWalked(kDir));
}

TEST(ArchiveStepOverFiles, ASecondWalkSeesEveryChangeAndReadsNoFile) {
    const struct {
        const char* change;
        void (*apply)(MemoryFileSystem&);
    } cases[] = {
        {"a file appeared", [](MemoryFileSystem& f) { f.AddFile(kDir + L"\\Sub\\neu.txt"); }},
        {"a file got other content of the same size",
         [](MemoryFileSystem& f) { f.Rewrite(kDir + L"\\Sub\\a.txt", "b"); }},
        {"a file grew",
         [](MemoryFileSystem& f) {
             const std::wstring path = kDir + L"\\Sub\\a.txt";
             f.AddFile(path, "ab", kAttributeArchive, f.Find(path)->lastWrite);
         }},
        {"a file went away", [](MemoryFileSystem& f) { f.Remove(kDir + L"\\Sub\\a.txt"); }},
        {"an empty folder appeared", [](MemoryFileSystem& f) { f.AddDir(kDir + L"\\Neu"); }},
        {"a folder became visible", [](MemoryFileSystem& f) { f.AddDir(kDir + L"\\Versteckt"); }},
        {"the directory went away",
         [](MemoryFileSystem& f) {
             for (const std::wstring& path : f.Below(kDir)) f.Remove(path);
             f.Remove(kDir);
         }},
    };
    for (const auto& c : cases) {
        Installation i;
        ASSERT_TRUE(i.archiver.WriteVerifiedArchive(kTempArchive, kDir, L""));
        c.apply(i.files);
        const std::size_t before = i.files.log.size();
        EXPECT_FALSE(i.archiver.StillAsWalked(kDir)) << c.change;
        for (std::size_t k = before; k < i.files.log.size(); ++k) {
            EXPECT_TRUE(i.files.log[k].starts_with(L"find-")) << c.change << ": " << i.files.log[k];
        }
    }
}

// What a proven archive at path holds: entry name -> CRC-32 and size; empty when it is not sound.
std::map<std::string, std::pair<std::uint32_t, std::uint64_t>> ProvenEntries(const MemoryFileSystem& files,
                                                                             const std::wstring& path) {
    std::map<std::string, std::pair<std::uint32_t, std::uint64_t>> held;
    const std::optional<std::string> content = files.Content(path);
    if (!content) return held;
    test::MemoryArchive bytes(test::BytesOf(*content));
    const ZipVerifyResult result = ZipVerify(bytes);
    if (!result.ok) return held;
    for (const ZipEntryInfo& e : result.entries)
        held[e.record.name] = {e.record.crc, e.record.uncompressedSize};
    return held;
}

std::pair<std::uint32_t, std::uint64_t> CrcAndSize(const std::string& content) {
    const auto crc =
        crc32(0, reinterpret_cast<const Bytef*>(content.data()), static_cast<uInt>(content.size()));
    return {static_cast<std::uint32_t>(crc), content.size()};
}

// The whole step with one failed file operation, for every operation it makes: a failure may cost
// the run its archive, never a file.
TEST(ArchiveStepOverFiles, AFailureAtAnyFileOperationLosesNothing) {
    std::set<std::wstring> kinds;  // of the operations failed
    int k = 1;
    for (;; ++k) {
        Installation i;
        i.files.AddFile(kTemp + L"MorvaneStart.ini", "an earlier start INI", kAttributeReadOnly);
        std::map<std::wstring, std::string> before;  // every file of the installation, with its content
        for (const std::wstring& path : i.files.Below(kDir))
            if (i.files.HasFile(path)) before[path] = *i.files.Content(path);
        i.files.failAt = k;
        const int result = SaveMVNInst(i.context);
        const bool reached = i.files.operations >= k;
        const std::wstring failed = reached ? i.files.log[static_cast<std::size_t>(k - 1)] : L"nothing";
        SCOPED_TRACE(zip::ToUtf8(L"k=" + std::to_wstring(k) + L", failed: " + failed));
        kinds.insert(failed.substr(0, failed.find(L' ')));

        EXPECT_EQ(i.view.events,
                  (std::vector<std::wstring>{L"wait-cursor", L"pump", L"restore-cursor", L"pump"}));
        EXPECT_EQ(i.files.OpenHandles(), 0);
        const auto inTemp = ProvenEntries(i.files, kTempArchive);
        const auto inDir = ProvenEntries(i.files, kDir + L"\\mvnaltinst.zip");
        for (const auto& [path, content] : before) {
            if (i.files.Content(path) == content) continue;
            // Deleted or changed: only with its content in the proven archive in the temporary
            // folder, and for a result of 0 in the one left in the installation directory too.
            const std::string entry = zip::ToUtf8(L"Morvane" + path.substr(kDir.size()));
            EXPECT_EQ(inTemp.count(entry) ? inTemp.at(entry) : std::make_pair(0u, std::uint64_t{1}),
                      CrcAndSize(content))
                << zip::ToUtf8(path) << " lost";
            if (result == 0) {
                EXPECT_EQ(inDir, inTemp) << zip::ToUtf8(path);
            }
        }
        if (result == 0) {
            EXPECT_EQ(i.files.Content(kDir + L"\\MorvaneStart.ini"), before.at(kDir + L"\\MorvaneStart.ini"))
                << "0 with the start INI not put back";
        }
        if (!reached) {
            EXPECT_EQ(result, 0) << "the run without a failure";
            break;
        }
    }
    std::cout << "fault points covered: " << k - 1 << "\n";
    EXPECT_EQ(kinds, (std::set<std::wstring>{L"create", L"open", L"read", L"write", L"seek", L"flush",
                                             L"close", L"find-first", L"find-next", L"copy", L"delete",
                                             L"attributes", L"nothing"}));
}

}  // namespace
}  // namespace mvn

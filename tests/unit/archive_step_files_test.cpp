// The archive step with its real archiver over one file system in memory: walk, writer, read-back,
// start INI, emptying and copy back all work on the same files.
#include <gtest/gtest.h>

#include "backup/install_archive_step.h"
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

}  // namespace
}  // namespace mvn

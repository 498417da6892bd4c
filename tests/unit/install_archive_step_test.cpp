#include "backup/install_archive_step.h"

#include <cstddef>
#include <gtest/gtest.h>

#include "fakes.h"

namespace mvn {
namespace {

using testing::FakeArchiver;
using testing::FakePlatform;
using testing::FakeView;

const std::wstring kDir = L"D:\\Apps\\Ostrana\\Morvane";
const std::wstring kTemp = L"C:\\Users\\lehrer\\AppData\\Local\\Temp\\";

struct Fixture {
    FakeView view;
    FakePlatform platform;
    FakeArchiver archiver{platform};
    RunState state;
    StepContext context{state, view, platform, &archiver};
    Fixture() {
        state.CmdLineDir = kDir;
        platform.AddFile(kDir + L"\\Morvane9.EXE");
        platform.AddFile(kDir + L"\\Sub\\a.txt");
    }
    bool Deleted() const {
        return std::any_of(platform.calls.begin(), platform.calls.end(),
                           [](auto& c) { return c.starts_with(L"delete:"); });
    }
};

TEST(SaveMVNInst, ArchivesEmptiesAndPutsBackStartIniAndArchive) {
    Fixture f;
    f.platform.AddFile(kDir + L"\\MorvaneStart.ini", "[Setup]");
    EXPECT_EQ(SaveMVNInst(f.context), 0);
    EXPECT_EQ(f.archiver.calls, (std::vector<std::wstring>{kTemp + L"mvnaltinst.zip|" + kDir +
                                                               L"|C:\\Downloads\\MVNUpdaterP2_10.exe",
                                                           L"still-as-walked:" + kDir}));
    EXPECT_TRUE(f.platform.HasFile(kDir + L"\\MorvaneStart.ini"));
    EXPECT_TRUE(f.platform.HasFile(kDir + L"\\mvnaltinst.zip"));
    EXPECT_FALSE(f.platform.HasFile(kDir + L"\\Morvane9.EXE"));
    EXPECT_FALSE(f.platform.HasFile(kDir + L"\\Sub\\a.txt"));
    EXPECT_TRUE(f.platform.HasFile(kTemp + L"MorvaneStart.ini"))
        << "the saved copy stays in the temporary folder";
    EXPECT_EQ(f.view.events,
              (std::vector<std::wstring>{L"wait-cursor", L"pump", L"restore-cursor", L"pump"}));
}

// A command line ending in two backslashes leaves one in CmdLineDir: the same directory, archived as
// the spelling without it (entry names would start with "\" otherwise); the rest keeps CmdLineDir.
TEST(SaveMVNInst, ADirectoryWithATrailingBackslashIsArchivedAsTheSameDirectory) {
    Fixture f;
    f.state.CmdLineDir = kDir + L"\\";
    f.platform.AddFile(kDir + L"\\MorvaneStart.ini", "[Setup]");
    EXPECT_EQ(SaveMVNInst(f.context), 0);
    EXPECT_EQ(f.archiver.calls, (std::vector<std::wstring>{kTemp + L"mvnaltinst.zip|" + kDir +
                                                               L"|C:\\Downloads\\MVNUpdaterP2_10.exe",
                                                           L"still-as-walked:" + kDir}))
        << "the second walk looks at the directory as archived";
    EXPECT_TRUE(std::count(f.platform.calls.begin(), f.platform.calls.end(), L"delete:" + kDir + L"\\\\*.*"))
        << "the emptying keeps CmdLineDir as given";
    EXPECT_TRUE(f.platform.HasFile(kDir + L"\\MorvaneStart.ini"));
    EXPECT_TRUE(f.platform.HasFile(kDir + L"\\mvnaltinst.zip"));
    EXPECT_FALSE(f.platform.HasFile(kDir + L"\\Morvane9.EXE"));
}

TEST(SaveMVNInst, WithoutStartIniNoneIsSavedOrRestoredEvenWithAStaleCopyInTemp) {
    Fixture f;
    f.platform.AddFile(kTemp + L"MorvaneStart.ini", "stale");
    EXPECT_EQ(SaveMVNInst(f.context), 0);
    EXPECT_FALSE(f.platform.HasFile(kDir + L"\\MorvaneStart.ini"));
    EXPECT_TRUE(f.platform.HasFile(kDir + L"\\mvnaltinst.zip"));
}

TEST(SaveMVNInst, NothingIsDeletedUnlessTheArchiveIsProvenAndTheStartIniSaved) {
    struct Case {
        const char* name;
        void (*setup)(Fixture&);
    } cases[] = {
        {"archive failed or did not verify", [](Fixture& f) { f.archiver.succeeds = false; }},
        {"start INI cannot be saved",
         [](Fixture& f) {
             f.platform.AddFile(kDir + L"\\MorvaneStart.ini");
             f.platform.unwritableFiles.insert(testing::PathKey(kTemp + L"MorvaneStart.ini"));
         }},
        {"no temporary folder", [](Fixture& f) { f.platform.tempPath.clear(); }},
        {"the directory changed after its walk", [](Fixture& f) { f.archiver.unchanged = false; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        c.setup(f);
        EXPECT_EQ(SaveMVNInst(f.context), 1);
        EXPECT_FALSE(f.Deleted());
        EXPECT_TRUE(f.platform.HasFile(kDir + L"\\Morvane9.EXE"));
        EXPECT_EQ(f.view.events,
                  (std::vector<std::wstring>{L"wait-cursor", L"pump", L"restore-cursor", L"pump"}))
            << "the cursor is restored on every path";
    }
}

TEST(SaveMVNInst, AnEmptiedDirectoryWithoutItsArchiveOrStartIniIsAFailure) {
    for (const std::wstring& target : {kDir + L"\\mvnaltinst.zip", kDir + L"\\MorvaneStart.ini"}) {
        Fixture f;
        f.platform.AddFile(kDir + L"\\MorvaneStart.ini");
        f.platform.unwritableFiles.insert(testing::PathKey(target));
        EXPECT_EQ(SaveMVNInst(f.context), 1);
        EXPECT_TRUE(f.Deleted());
    }
}

TEST(SaveMVNInst, RefusesEmptyPathsAndRoots) {
    for (const wchar_t* dir :
         {L"", L"C:", L"c:\\", L"\\", L"\\\\server\\share", L"\\\\server\\share\\", L"\\\\server"}) {
        Fixture f;
        f.state.CmdLineDir = dir;
        EXPECT_EQ(SaveMVNInst(f.context), 1);
        EXPECT_TRUE(f.archiver.calls.empty());
        EXPECT_FALSE(f.Deleted());
    }
    for (const wchar_t* dir : {L"\\\\?\\C:\\", L"\\\\.\\C:", L"\\\\?\\UNC\\server\\share"}) {
        EXPECT_TRUE(IsRefusedInstallDir(dir)) << dir;
    }
    for (const wchar_t* dir : {L"C:\\Morvane", L"\\\\server\\share\\Morvane", L"Morvane",
                               L"\\\\?\\UNC\\server\\share\\Morvane", L"\\\\?\\C:\\Morvane"}) {
        EXPECT_FALSE(IsRefusedInstallDir(dir)) << dir;
    }
}

// Other spellings of a root reach the step only through the command line; what they resolve to
// decides.
TEST(SaveMVNInst, RefusesDirectoriesThatResolveToARoot) {
    // Given, resolved; an empty resolution is a path that cannot be resolved.
    // clang-format off
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"D:\\.", L"D:\\"},
        {L"D:\\Apps\\..", L"D:\\"},
        {L".", L"C:\\"},
        {L"\\\\server\\share\\.", L"\\\\server\\share\\"},
        {L"Morvane\\..\\..", L""},
    };
    // clang-format on
    for (const auto& [dir, resolved] : cases) {
        Fixture f;
        f.state.CmdLineDir = dir;
        f.platform.fullPaths[dir] = resolved;
        EXPECT_EQ(SaveMVNInst(f.context), 1) << dir;
        EXPECT_TRUE(f.archiver.calls.empty()) << dir;
        EXPECT_FALSE(f.Deleted()) << dir;
    }
}

std::ptrdiff_t Restores(const Fixture& f) {
    return std::count_if(f.archiver.calls.begin(), f.archiver.calls.end(),
                         [](const std::wstring& c) { return c.starts_with(L"restore:"); });
}

// The archive copy the step put into the directory is what the run added; an old installation's own
// "mvnaltinst.zip" is one of its files and comes back from the archive.
TEST(RestoreInstallation, PutsBackAfterTheDirectoryWasEmptiedAndRemovesWhatTheRunAdded) {
    for (const bool heldArchive : {false, true}) {
        SCOPED_TRACE(heldArchive);
        Fixture f;
        if (heldArchive) {
            f.platform.AddFile(kDir + L"\\mvnaltinst.zip", "older");
            f.archiver.walked = {{kDir + L"\\mvnaltinst.zip", 0x20, 5, 1}};
        }
        EXPECT_TRUE(RestoreInstallation(f.context)) << "nothing to put back before the step";
        EXPECT_EQ(Restores(f), 0);
        ASSERT_EQ(SaveMVNInst(f.context), 0);
        f.view.events.clear();
        EXPECT_TRUE(RestoreInstallation(f.context));
        EXPECT_EQ(f.archiver.calls.back(), L"restore:" + kTemp + L"mvnaltinst.zip|" + kDir);
        EXPECT_EQ(f.platform.HasFile(kDir + L"\\mvnaltinst.zip"), heldArchive);
        EXPECT_EQ(f.view.events, (std::vector<std::wstring>{L"wait-cursor", L"restore-cursor"}));
        EXPECT_TRUE(RestoreInstallation(f.context)) << "once only";
        EXPECT_EQ(Restores(f), 1);
    }
}

TEST(RestoreInstallation, AnIncompleteRestoreSaysWhereTheArchiveIsAndKeepsTheCopy) {
    Fixture f;
    f.archiver.restores = false;
    ASSERT_EQ(SaveMVNInst(f.context), 0);
    EXPECT_FALSE(RestoreInstallation(f.context));
    EXPECT_EQ(f.view.Only(L"error:"),
              std::vector<std::wstring>{L"Die vorherige Morvane-Installation konnte nicht vollständig "
                                        L"wiederhergestellt werden.\nDie Sicherung liegt in:\n" +
                                        kTemp + L"mvnaltinst.zip"});
    EXPECT_TRUE(f.platform.HasFile(kDir + L"\\mvnaltinst.zip"));
}

TEST(RestoreInstallation, NothingToPutBackWhenTheStepDeletedNothing) {
    Fixture f;
    f.archiver.succeeds = false;
    EXPECT_EQ(SaveMVNInst(f.context), 1);
    EXPECT_TRUE(RestoreInstallation(f.context));
    EXPECT_EQ(Restores(f), 0);
}

}  // namespace
}  // namespace mvn

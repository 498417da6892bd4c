#include <gtest/gtest.h>

#include "backup/data_backups.h"
#include "backup/update_record.h"
#include "fakes.h"

namespace mvn {
namespace {

using testing::FakePlatform;
using testing::FakeView;

struct Fixture {
    FakeView view;
    FakePlatform platform;
    RunState state;
    StepContext context{state, view, platform};
    Fixture() {
        state.DataDir = L"D:\\Morvane\\Daten\\";
        state.BaseDir = L"D:\\Morvane\\";
        state.FormsDir = L"D:\\Morvane\\Formulare\\";
        state.NkkDir = L"D:\\Morvane\\NKK\\";
        state.IniDir = L"C:\\ProgramData\\Ostrana\\Morvane\\";
        state.InstalledVersion = L"9.1.0.12";
    }
    std::vector<std::wstring> Copies() const {
        std::vector<std::wstring> out;
        for (const auto& c : platform.calls)
            if (c.starts_with(L"copy:")) out.push_back(c.substr(5));
        return out;
    }
};

TEST(SingleFileBackups, CopyTheirSliceBesideTheOriginals) {
    struct Case {
        StepFn step;
        std::wstring dir;
        std::size_t first, last;
    } cases[] = {
        {&BackupFormKatalog, L"D:\\Morvane\\Formulare\\", 0, 5},
        {&BackupFaecherkanon, L"D:\\Morvane\\Daten\\", 6, 7},
        {&BackupNKK, L"D:\\Morvane\\NKK\\", 8, 11},
    };
    for (const Case& c : cases) {
        Fixture f;
        std::vector<std::wstring> expected;
        for (std::size_t i = c.first; i <= c.last; ++i) {
            const std::wstring name(BackupFileNames[i]);
            f.platform.AddFile(c.dir + name);
            expected.push_back(c.dir + name + L"|" + c.dir + L"MVN_Bkp_" + name);
        }
        EXPECT_EQ(c.step(f.context), 0);
        EXPECT_EQ(f.Copies(), expected);
        EXPECT_TRUE(f.view.events.empty());
    }
}

TEST(SingleFileBackups, StopAtTheFirstFailedCopyAndKeepWhatWasCopied) {
    Fixture f;
    for (std::size_t i : {0u, 1u, 3u, 4u, 5u})
        f.platform.AddFile(f.state.FormsDir + std::wstring(BackupFileNames[i]));
    EXPECT_EQ(BackupFormKatalog(f.context), 1);
    EXPECT_EQ(f.Copies().size(), 3u) << "two copies, then the missing third file, nothing after it";
    EXPECT_TRUE(f.platform.HasFile(L"D:\\Morvane\\Formulare\\MVN_Bkp_Formulare.cdx"));
    EXPECT_FALSE(f.platform.HasFile(L"D:\\Morvane\\Formulare\\MVN_Bkp_Beiblaetter.cdx"));
}

TEST(FormulationAidsBackup, CreatesTheFolderThenCopiesItsFiles) {
    Fixture f;
    f.platform.AddDir(L"D:\\Morvane");
    EXPECT_EQ(BackupFormHilfePfad(f.context), 0);
    EXPECT_TRUE(f.platform.DirectoryExists(L"D:\\Morvane\\MVN_Bkp_Formulierungen"));
    EXPECT_EQ(f.platform.calls.back(),
              L"copy-folder:D:\\Morvane\\Formulierungen\\|D:\\Morvane\\MVN_Bkp_Formulierungen");

    EXPECT_TRUE(f.view.events.empty());
}

TEST(FormulationAidsBackup, AnIncompleteShellCopyIsAFailure) {
    const struct {
        ShellResult shell;
        int result;
    } cases[] = {
        {{0x7C, false}, 0x7C},  // the shell's result goes through unchanged
        {{0x7C, true}, 0x7C},
        {{0, true}, 1},  // "Abbrechen" in the shell's progress window, or a file in use skipped
    };
    for (const auto& c : cases) {
        Fixture f;
        f.platform.AddDir(L"D:\\Morvane");
        f.platform.copyFolderResult = c.shell;
        EXPECT_EQ(BackupFormHilfePfad(f.context), c.result)
            << c.shell.code << " " << c.shell.anyOperationsAborted;
        EXPECT_TRUE(f.view.events.empty());
    }
}

TEST(FormulationAidsBackup, AFolderThatCannotBeCreatedStopsWithItsDialog) {
    for (const auto& blocker : {std::wstring(L"file"), std::wstring(L"drive")}) {
        Fixture f;
        if (blocker == L"file") {
            f.platform.AddFile(L"D:\\Morvane\\MVN_Bkp_Formulierungen");
        } else {
            f.state.BaseDir = L"Q:\\Nirgends\\";
        }
        EXPECT_EQ(BackupFormHilfePfad(f.context), 1);
        EXPECT_EQ(f.view.Only(L"error:"), std::vector<std::wstring>{std::wstring(kBackupFolderFailed)});
        for (const auto& c : f.platform.calls) EXPECT_FALSE(c.starts_with(L"copy-folder:"));
    }
}

TEST(ForceDirectories, CreatesMissingLevelsFromTheTop) {
    FakePlatform p;
    p.AddDir(L"D:\\a");
    EXPECT_TRUE(ForceDirectories(p, L"D:\\a\\b\\c\\"));
    EXPECT_EQ(p.calls, (std::vector<std::wstring>{L"mkdir:D:\\a\\b", L"mkdir:D:\\a\\b\\c"}));
    p.calls.clear();
    EXPECT_TRUE(ForceDirectories(p, L"D:\\a\\b\\c"));
    EXPECT_TRUE(p.calls.empty()) << "an existing folder is reused";
    EXPECT_FALSE(ForceDirectories(p, L""));
}

TEST(UpdateRecord, WritesFourKeysFromOneClockReadingThenFlushes) {
    Fixture f;
    EXPECT_EQ(SchreibeIni(f.context, 0), 0);
    const std::wstring path = L"C:\\ProgramData\\Ostrana\\Morvane\\MVN_9_Update.ini";
    const std::vector<std::wstring> expected = {
        L"clock",
        L"ini-write:" + path + L"|Update|Erfolg=0",
        L"ini-write:" + path + L"|Update|Datum=08.12.2025",
        L"ini-write:" + path + L"|Update|Uhrzeit=21:47:05",
        L"ini-write:" + path + L"|Update|Vorversion=9.1.0.12",
        L"ini-flush:" + path,
    };
    EXPECT_EQ(f.platform.calls, expected);
}

TEST(UpdateRecord, AFailedWriteRaisesWithThePathAfterFlushing) {
    Fixture f;
    const std::wstring path = L"C:\\ProgramData\\Ostrana\\Morvane\\MVN_9_Update.ini";
    f.platform.unwritableIni.insert(testing::PathKey(path));
    try {
        SchreibeIni(f.context, -5);
        FAIL() << "no error raised";
    } catch (const StepError& e) {
        EXPECT_EQ(e.message(), L"In " + path + L" kann nicht geschrieben werden");
    }
    EXPECT_EQ(f.platform.calls.back(), L"ini-flush:" + path);
    EXPECT_EQ(f.platform.calls[1], L"ini-write:" + path + L"|Update|Erfolg=-5");
    EXPECT_EQ(f.platform.calls.size(), 3u) << "the later keys are not attempted";
}

}  // namespace
}  // namespace mvn

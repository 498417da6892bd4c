#include <gtest/gtest.h>

#include "app/chain_texts.h"
#include "app/profile.h"
#include "app/updater.h"
#include "backup/data_backups.h"
#include "discovery/locator.h"
#include "fakes.h"

namespace mvn {
namespace {

using testing::FakeArchiver;
using testing::FakePlatform;
using testing::FakeView;
using testing::ProcessEnded;

void SampleData(FakePlatform& p) {
    p.SetIni(L"C:\\ProgramData\\Ostrana\\Morvane\\morvane.ini", L"Setup", L"Datenverzeichnis",
             L"D:\\Morvane\\Daten\\");
    p.SetIni(L"C:\\ProgramData\\Ostrana\\Morvane\\morvane.ini", L"Benutzer", L"UserZahl", L"0");
    const wchar_t* dirs[] = {L"D:\\Morvane\\Formulare\\", L"D:\\Morvane\\Daten\\", L"D:\\Morvane\\NKK\\"};
    for (std::size_t i = 0; i < BackupFileNames.size(); ++i) {
        p.AddFile(std::wstring(dirs[i < 6 ? 0 : i < 8 ? 1 : 2]) + std::wstring(BackupFileNames[i]));
    }
    p.AddDir(L"D:\\Morvane\\Formulierungen");
}

struct FullRun {
    FakeView view;
    FakePlatform platform;
    FakeArchiver archiver{platform};
    std::optional<int> exit;

    void Go(const Profile& profile, std::wstring_view commandLine) {
        Updater updater(profile, view, platform, &archiver);
        updater.FormCreate(commandLine);
        try {
            updater.FormShow();
            updater.BtWeiterClick();
        } catch (const ProcessEnded& e) {
            exit = e.code;
        }
    }
    std::ptrdiff_t Pauses() const { return std::count(view.events.begin(), view.events.end(), L"pause:500"); }
};

const std::vector<std::wstring> kBackupLines = {
    L"Sicherung der Formularkataloge ...",
    L"Sicherung Formularkataloge - OK",
    L"Sicherung der Formulierungshilfen wird erstellt ...",
    L"Sicherung Formulierungshilfen - OK",
    L"Sicherung des Fächerkanons wird erstellt ...",
    L"Sicherung Fächerkanon - OK",
    L"Sicherung der NKK-Dateien wird erstellt ...",
    L"Sicherung NKK-Dateien - OK",
};
const std::vector<std::wstring> kStatusTexts = {
    L"Sicherung der Formularkataloge wird erstellt ...",
    L"Sicherung der Formulierungshilfen wird erstellt ...",
    L"Sicherung des Fächerkanons wird erstellt ...",
    L"Sicherung der NKK-Dateien wird erstellt ...",
};

std::vector<std::wstring> Concat(std::vector<std::wstring> head, const std::vector<std::wstring>& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

TEST(Profiles, P2_10RunsItsWholeChain) {
    for (bool archiveWorks : {true, false}) {
        FullRun run;
        SampleData(run.platform);
        run.platform.shellFolders[L"Common Appdata"] = L"C:\\ProgramData";
        run.platform.AddFile(L"D:\\Apps\\Ostrana\\Morvane\\Morvane9.EXE");
        run.platform.versions[testing::PathKey(L"D:\\Apps\\Ostrana\\Morvane\\Morvane9.EXE")] = {9, 3, 0, 12};
        run.view.answers = {true};
        run.archiver.succeeds = archiveWorks;
        run.Go(ProfileP2_10(), L"MVNUpdaterP2_10.exe D:\\Apps\\Ostrana\\Morvane\\");
        EXPECT_EQ(run.exit, 0);
        EXPECT_EQ(
            run.view.Only(L"log:"),
            Concat({L"Benutzeranzahl - OK", L"Die vorherige Morvane Installation wird gesichert ...",
                    archiveWorks ? L"Morvane Sicherung - OK" : L"Fehler bei der Sicherung des Alt-Programms"},
                   kBackupLines));
        EXPECT_EQ(run.view.Only(L"status:"), kStatusTexts);
        EXPECT_EQ(run.Pauses(), 6);
        EXPECT_EQ(run.platform.ini[testing::PathKey(L"C:\\ProgramData\\Ostrana\\Morvane\\MVN_9_Update.ini")]
                                  [L"Update"][L"Vorversion"],
                  L"9.3.0.12");
    }
}

TEST(Profiles, MVNUpdater10RunsItsWholeChain) {
    FullRun run;
    SampleData(run.platform);
    const std::wstring key(kInstallPropertiesKey);
    run.platform.openableKeys.insert(key + L"|64");
    run.platform.registry[key + L"|InstallLocation|64"] = L"C:\\Program Files (x86)\\Morvane\\";
    run.platform.SetIni(L"C:\\Program Files (x86)\\Morvane\\MorvaneStart.ini", L"Setup", L"IniPfad",
                        L"C:\\ProgramData\\Ostrana\\Morvane\\");
    run.platform.versions[testing::PathKey(L"C:\\Program Files (x86)\\Morvane\\Morvane9.EXE")] = {9, 1, 0,
                                                                                                  12};
    run.Go(Profile10(), L"MVNUpdater10.exe whatever");
    EXPECT_EQ(run.exit, 0);
    EXPECT_EQ(
        run.view.Only(L"log:"),
        Concat({L"Morvane-Datenpfad - OK", L"Morvane-Version - OK", L"Benutzeranzahl - OK"}, kBackupLines));
    EXPECT_EQ(run.view.Only(L"status:"), kStatusTexts);
    EXPECT_EQ(run.Pauses(), 5);
    EXPECT_TRUE(run.archiver.calls.empty());
    EXPECT_TRUE(run.view.Only(L"ask:").empty());
}

TEST(Profiles, AFailedBackupEndsWithOneAndWritesNoRecord) {
    FullRun run;
    SampleData(run.platform);
    run.platform.files.erase(testing::PathKey(L"D:\\Morvane\\NKK\\NKK_NOTEN.DBF"));
    run.platform.shellFolders[L"Common Appdata"] = L"C:\\ProgramData";
    run.platform.AddFile(L"D:\\M\\Morvane9.EXE");
    run.platform.versions[testing::PathKey(L"D:\\M\\Morvane9.EXE")] = {9, 0, 0, 0};
    run.view.answers = {true};
    run.Go(ProfileP2_10(), L"p.exe D:\\M");
    EXPECT_EQ(run.exit, 1);
    EXPECT_EQ(run.view.Only(L"log:").back(), L"Sicherung der NKK-Dateien wird erstellt ...");
    for (const auto& c : run.platform.calls) EXPECT_FALSE(c.starts_with(L"ini-write:"));
}

// Found right after the user check: nothing archived, deleted, copied or written, and the log stops
// at the user check's line.
TEST(Profiles, AProgramRunningFromTheInstallationStopsBeforeAnythingChanges) {
    for (bool p2 : {true, false}) {
        SCOPED_TRACE(p2 ? "MVNUpdaterP2_10" : "MVNUpdater10");
        FullRun run;
        SampleData(run.platform);
        const std::wstring installDir =
            p2 ? L"D:\\Apps\\Ostrana\\Morvane" : L"C:\\Program Files (x86)\\Morvane";
        run.platform.shellFolders[L"Common Appdata"] = L"C:\\ProgramData";
        const std::wstring key(kInstallPropertiesKey);
        run.platform.openableKeys.insert(key + L"|64");
        run.platform.registry[key + L"|InstallLocation|64"] = installDir + L"\\";
        run.platform.SetIni(installDir + L"\\MorvaneStart.ini", L"Setup", L"IniPfad",
                            L"C:\\ProgramData\\Ostrana\\Morvane\\");
        run.platform.versions[testing::PathKey(installDir + L"\\Morvane9.EXE")] = {9, 1, 0, 12};
        run.platform.AddFile(installDir + L"\\Morvane9.EXE");
        run.platform.processes = {{run.platform.ownProcessId, installDir + L"\\MVNUpdater.exe"},
                                  {31, installDir + L"\\Werkzeuge\\Helfer.exe"}};
        run.view.answers = {true};
        const std::size_t filesBefore = run.platform.files.size();
        run.Go(p2 ? ProfileP2_10() : Profile10(), p2 ? L"p.exe " + installDir : L"MVNUpdater10.exe");
        EXPECT_EQ(run.exit, 1);
        const std::wstring usersOk(text::kUsersOk);
        const std::vector<std::wstring> log =
            p2 ? std::vector<std::wstring>{usersOk}
               : std::vector<std::wstring>{L"Morvane-Datenpfad - OK", L"Morvane-Version - OK", usersOk};
        EXPECT_EQ(run.view.Only(L"log:"), log);
        EXPECT_EQ(run.view.Only(L"error:"),
                  std::vector<std::wstring>{
                      L"Auf diesem PC läuft noch ein Programm aus dem Morvane-Verzeichnis:\n" + installDir +
                      L"\\Werkzeuge\\Helfer.exe\nBitte beenden Sie es zuerst!\nDas "
                      L"Update wird abgebrochen!"});
        EXPECT_TRUE(run.view.Only(L"status:").empty());
        EXPECT_TRUE(run.archiver.calls.empty());
        for (const auto& call : run.platform.calls) EXPECT_TRUE(call.starts_with(L"reg:")) << call;
        EXPECT_EQ(run.platform.files.size(), filesBefore);
    }
}

}  // namespace
}  // namespace mvn

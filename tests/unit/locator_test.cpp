#include "discovery/locator.h"

#include <gtest/gtest.h>

#include "discovery/messages.h"
#include "fakes.h"

namespace mvn {
namespace {

using testing::FakePlatform;
using testing::FakeView;

const std::wstring kKey(kInstallPropertiesKey);
const std::wstring kInstall10 = L"C:\\Program Files (x86)\\Morvane\\";

struct Outcome {
    int result;
    std::vector<std::wstring> events;  // dialogs and log lines, in order
    std::wstring iniDir;
};

struct Fixture {
    FakeView view;
    FakePlatform platform;
    RunState state;
    StepContext context{state, view, platform};

    Outcome Run(StepFn step) {
        const int r = step(context);
        return {r, view.events, state.IniDir};
    }
};

void MainIni(FakePlatform& p, const std::wstring& iniDir,
             const std::wstring& dataDir = L"D:\\Morvane\\Daten\\") {
    p.SetIni(iniDir + L"morvane.ini", L"Setup", L"Datenverzeichnis", dataDir);
}

std::wstring E(std::wstring_view text) {
    return L"error:" + std::wstring(text);
}
std::wstring L(std::wstring_view text) {
    return L"log:" + std::wstring(text);
}

TEST(LocatorP2, Cases) {
    struct Case {
        const char* name;
        void (*setup)(FakePlatform&);
        Outcome expected;
    } cases[] = {
        {"start INI names the INI directory",
         [](FakePlatform& p) {
             p.SetIni(L"D:\\Apps\\Morvane\\MorvaneStart.ini", L"Setup", L"IniPfad", L"D:\\Ini\\");
             MainIni(p, L"D:\\Ini\\");
         },
         {0, {}, L"D:\\Ini\\"}},
        {"start INI without IniPfad",
         [](FakePlatform& p) {
             p.SetIni(L"D:\\Apps\\Morvane\\MorvaneStart.ini", L"Setup", L"Anders", L"x");
             p.shellFolders[L"Common Appdata"] = L"C:\\ProgramData";
             MainIni(p, L"C:\\ProgramData\\Ostrana\\Morvane\\");
         },
         {2, {E(text::kM1IniDirUnknown), L(text::kL1IniDir)}, L""}},
        {"no start INI: common application data, one backslash removed",
         [](FakePlatform& p) {
             p.shellFolders[L"Common Appdata"] = L"C:\\ProgramData\\";
             MainIni(p, L"C:\\ProgramData\\Ostrana\\Morvane\\");
         },
         {0, {}, L"C:\\ProgramData\\Ostrana\\Morvane\\"}},
        {"no start INI and no common application data",
         [](FakePlatform&) {},
         {2, {E(text::kM4CommonAppDataUnknown), L(text::kL4CommonAppData)}, L""}},
        {"IniPfad without trailing backslash is used as it stands",
         [](FakePlatform& p) {
             p.SetIni(L"D:\\Apps\\Morvane\\MorvaneStart.ini", L"Setup", L"IniPfad", L"D:\\Ini");
             MainIni(p, L"D:\\Ini\\");
         },
         {2, {E(text::kM2MainIniMissing), L(text::kL2MainIni)}, L"D:\\Ini"}},
        {"main INI without Datenverzeichnis",
         [](FakePlatform& p) {
             p.SetIni(L"D:\\Apps\\Morvane\\MorvaneStart.ini", L"Setup", L"IniPfad", L"D:\\Ini\\");
             MainIni(p, L"D:\\Ini\\", L"");
         },
         {2, {E(text::kM3DataDirUnknown), L(text::kL3DataDir)}, L"D:\\Ini\\"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        f.state.CmdLineDir = L"D:\\Apps\\Morvane";
        c.setup(f.platform);
        const Outcome o = f.Run(&PruefeMVNIniP2);
        EXPECT_EQ(o.result, c.expected.result);
        EXPECT_EQ(o.events, c.expected.events);
        EXPECT_EQ(o.iniDir, c.expected.iniDir);
        EXPECT_EQ(f.state.InstallDir, L"D:\\Apps\\Morvane");
    }
}

TEST(LocatorP2, DerivedDirectories) {
    Fixture f;
    f.state.CmdLineDir = L"D:\\Apps\\Morvane";
    f.platform.SetIni(L"D:\\Apps\\Morvane\\MorvaneStart.ini", L"Setup", L"IniPfad", L"D:\\Ini\\");
    MainIni(f.platform, L"D:\\Ini\\", L"D:\\Morvane\\Daten\\");
    ASSERT_EQ(PruefeMVNIniP2(f.context), 0);
    EXPECT_EQ(f.state.MainIniPath, L"D:\\Ini\\morvane.ini");
    EXPECT_EQ(f.state.DataDir, L"D:\\Morvane\\Daten\\");
    EXPECT_EQ(f.state.BaseDir, L"D:\\Morvane\\");
    EXPECT_EQ(f.state.FormsDir, L"D:\\Morvane\\Formulare\\");
    EXPECT_EQ(f.state.NkkDir, L"D:\\Morvane\\NKK\\");
}

TEST(Locator10, Cases) {
    struct Case {
        const char* name;
        void (*setup)(FakePlatform&);
        Outcome expected;
        bool has001;
    } cases[] = {
        {"installer key missing",
         [](FakePlatform& p) { p.openableKeys.clear(); },
         {1, {E(text::kM0InstallDirUnknown)}, L""},
         false},
        {"InstallLocation empty",
         [](FakePlatform& p) { p.registry.clear(); },
         {1, {E(text::kM0InstallDirUnknown)}, L""},
         false},
        {"start INI in the installation directory, doubled backslash",
         [](FakePlatform& p) {
             p.SetIni(kInstall10 + L"\\MorvaneStart.ini", L"Setup", L"IniPfad", L"D:\\Ini\\");
             MainIni(p, L"D:\\Ini\\");
         },
         {0, {}, L"D:\\Ini\\"},
         false},
        {"VirtualStore copy of the start INI",
         [](FakePlatform& p) {
             p.SetIni(
                 L"c:\\users\\lehrer\\appdata\\local\\VirtualStore\\Program Files "
                 L"(x86)\\Morvane\\MorvaneStart.ini",
                 L"Setup", L"IniPfad", L"E:\\VS\\");
             MainIni(p, L"E:\\VS\\");
         },
         {0, {}, L"E:\\VS\\"},
         false},
        {"start INI without IniPfad: no further candidate",
         [](FakePlatform& p) {
             p.SetIni(kInstall10 + L"\\MorvaneStart.ini", L"Setup", L"X", L"1");
             p.SetIni(
                 L"c:\\users\\lehrer\\appdata\\local\\VirtualStore\\Program Files "
                 L"(x86)\\Morvane\\MorvaneStart.ini",
                 L"Setup", L"IniPfad", L"E:\\VS\\");
         },
         {1, {E(text::kM1IniDirUnknown)}, L""},
         false},
        {"common application data kept unchanged, 001 folder",
         [](FakePlatform& p) {
             p.shellFolders[L"Common Appdata"] = L"C:\\ProgramData\\";
             p.AddDir(L"C:\\ProgramData\\Ostrana\\Morvane\\001");
             MainIni(p, L"C:\\ProgramData\\Ostrana\\Morvane\\001\\");
         },
         {0, {}, L"C:\\ProgramData\\\\Ostrana\\Morvane\\001\\"},
         true},
        {"no common application data",
         [](FakePlatform&) {},
         {1, {E(text::kM5AllUsersAppDataUnknown)}, L""},
         false},
        {"main INI missing writes no log line",
         [](FakePlatform& p) {
             p.SetIni(kInstall10 + L"\\MorvaneStart.ini", L"Setup", L"IniPfad", L"D:\\Ini");
         },
         {1, {E(text::kM2MainIniMissing)}, L"D:\\Ini"},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        f.platform.specialFolders[kCsidlLocalAppData] = L"C:\\Users\\Lehrer\\AppData\\Local";
        f.platform.openableKeys.insert(kKey + L"|64");
        f.platform.registry[kKey + L"|InstallLocation|64"] = kInstall10;
        c.setup(f.platform);
        const Outcome o = f.Run(&PruefeMVNIni10);
        EXPECT_EQ(o.result, c.expected.result);
        EXPECT_EQ(o.events, c.expected.events);
        EXPECT_EQ(o.iniDir, c.expected.iniDir);
        EXPECT_EQ(f.state.Has001Dir, c.has001);
    }
}

TEST(Locator10, RegistryViewFollowsWow64) {
    for (bool wow64 : {true, false}) {
        Fixture f;
        f.platform.wow64 = wow64;
        PruefeMVNIni10(f.context);
        ASSERT_FALSE(f.platform.calls.empty());
        EXPECT_EQ(f.platform.calls.front(), L"reg:" + kKey + (wow64 ? L"|64" : L""));
    }
}

TEST(Locator, ShellFoldersOfTheWrongTypeRaise) {
    Fixture f;
    f.state.CmdLineDir = L"D:\\Apps\\Morvane";
    f.platform.shellFoldersWrongType = L"Common Appdata";
    EXPECT_THROW(PruefeMVNIniP2(f.context), StepError);
}

}  // namespace
}  // namespace mvn

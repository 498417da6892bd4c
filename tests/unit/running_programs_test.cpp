#include "discovery/running_programs.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

#include "discovery/messages.h"
#include "fakes.h"

namespace mvn {
namespace {

using testing::FakePlatform;
using testing::FakeView;
using testing::PathKey;
using Process = Platform::RunningProcess;

constexpr std::uint32_t kOwn = 4242;

// Windows' answers for the spellings the cases use: the current drive is D:, and two 8.3 names.
void WindowsAnswers(FakePlatform& p) {
    p.ownProcessId = kOwn;
    p.fullPaths[L"\\"] = L"D:\\";
    p.fullPaths[L"C:\\Apps\\Tools\\..\\Morvane\\"] = L"C:\\Apps\\Morvane\\";
    p.longPaths[PathKey(L"C:\\PROGRA~2\\Morvane")] = L"C:\\Program Files (x86)\\Morvane\\";
    p.longPaths[PathKey(L"C:\\PROGRA~2\\Morvane\\MORVAN~1.EXE")] =
        L"C:\\Program Files (x86)\\Morvane\\Morvane9.EXE";
}

TEST(RunningPrograms, FindsTheFirstProgramInTheDirectoryOrBelowIt) {
    const std::wstring exe = L"C:\\Apps\\Morvane\\Morvane9.EXE";
    struct Case {
        const char* name;
        std::wstring dir;
        std::vector<Process> processes;
        std::optional<std::wstring> found;
    } cases[] = {
        {"same directory", L"C:\\Apps\\Morvane", {{7, exe}}, exe},
        {"below it",
         L"C:\\Apps\\Morvane",
         {{7, L"C:\\Apps\\Morvane\\Werkzeuge\\Helfer.exe"}},
         L"C:\\Apps\\Morvane\\Werkzeuge\\Helfer.exe"},
        {"sibling with a common prefix",
         L"C:\\Apps\\Morvane",
         {{7, L"C:\\Apps\\Morvane2\\x.exe"}, {8, L"C:\\Apps\\Morvane.exe"}, {9, L"C:\\Apps\\x.exe"}},
         std::nullopt},
        {"8.3 spelling of the directory",
         L"C:\\PROGRA~2\\Morvane",
         {{7, L"C:\\Program Files (x86)\\Morvane\\Morvane9.EXE"}},
         L"C:\\Program Files (x86)\\Morvane\\Morvane9.EXE"},
        {"8.3 spelling of the program",
         L"C:\\Program Files (x86)\\Morvane",
         {{7, L"C:\\PROGRA~2\\Morvane\\MORVAN~1.EXE"}},
         L"C:\\Program Files (x86)\\Morvane\\Morvane9.EXE"},
        {"different case", L"c:\\apps\\MORVANE", {{7, exe}}, exe},
        {"trailing backslash", L"C:\\Apps\\Morvane\\", {{7, exe}}, exe},
        {"doubled backslashes", L"C:\\Apps\\\\Morvane\\\\", {{7, L"C:\\Apps\\Morvane\\\\Morvane9.EXE"}}, exe},
        {"\\\\?\\ forms", L"\\\\?\\C:\\Apps\\Morvane", {{7, L"\\\\?\\C:\\Apps\\Morvane\\Morvane9.EXE"}}, exe},
        {"dot-dot in the directory", L"C:\\Apps\\Tools\\..\\Morvane", {{7, exe}}, exe},
        {"own process", L"C:\\Apps\\Morvane", {{kOwn, exe}}, std::nullopt},
        {"unreadable entry", L"C:\\Apps\\Morvane", {{7, L""}, {0, L""}}, std::nullopt},
        {"first by path, case ignored",
         L"C:\\Apps\\Morvane",
         {{kOwn, L"C:\\Apps\\Morvane\\Alpha.exe"},
          {7, L""},
          {8, L"C:\\Apps\\Morvane\\Zeta.exe"},
          {9, L"C:\\Apps\\Morvane\\beta.exe"},
          {10, L"C:\\Apps\\Morvane\\gamma\\a.exe"}},
         L"C:\\Apps\\Morvane\\beta.exe"},
        {"drive root: only programs directly in it",
         L"C:",
         {{7, L"C:\\Windows\\explorer.exe"}, {8, L"C:\\Start.exe"}, {9, L"D:\\Start.exe"}},
         L"C:\\Start.exe"},
        {"drive root: nothing directly in it", L"C:", {{7, L"C:\\Windows\\explorer.exe"}}, std::nullopt},
        {"empty directory: root of the current drive",
         L"",
         {{7, L"C:\\Helfer.exe"}, {8, L"D:\\Apps\\x.exe"}, {9, L"D:\\Helfer.exe"}},
         L"D:\\Helfer.exe"},
        {"share root",
         L"\\\\server\\morvane\\",
         {{7, L"\\\\server\\morvane\\sub\\x.exe"}, {8, L"\\\\server\\morvane\\M.exe"}},
         L"\\\\server\\morvane\\M.exe"},
        {"share root in its \\\\?\\UNC form",
         L"\\\\?\\UNC\\server\\morvane",
         {{7, L"\\\\server\\morvane\\sub\\x.exe"}},
         std::nullopt},
        {"directory on a share",
         L"\\\\server\\apps\\Morvane",
         {{7, L"\\\\server\\apps\\Morvane\\sub\\x.exe"}},
         L"\\\\server\\apps\\Morvane\\sub\\x.exe"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakePlatform platform;
        WindowsAnswers(platform);
        platform.processes = c.processes;
        EXPECT_EQ(FirstProgramRunningFrom(c.dir, platform), c.found);
    }
}

TEST(RunningPrograms, ADirectoryThatCannotBeResolvedFindsNothing) {
    FakePlatform platform;
    platform.fullPaths[L"C:\\Apps\\Morvane\\"] = L"";
    platform.processes = {{7, L"C:\\Apps\\Morvane\\Morvane9.EXE"}};
    EXPECT_EQ(FirstProgramRunningFrom(L"C:\\Apps\\Morvane", platform), std::nullopt);
}

// Each deliverable looks at its own field; a found program is named in the dialog, nothing else.
TEST(RunningPrograms, TheStepShowsTheProgramOrNothingAtAll) {
    struct Case {
        StepFn step;
        std::wstring cmdLineDir, installDir;
    } cases[] = {
        {&PruefeLaufendeProgrammeP2, L"C:\\Apps\\Morvane", L"C:\\Elsewhere\\"},
        {&PruefeLaufendeProgramme10, L"C:\\Elsewhere", L"C:\\Apps\\Morvane\\"},
    };
    for (const Case& c : cases) {
        for (bool running : {true, false}) {
            FakeView view;
            FakePlatform platform;
            RunState state;
            state.CmdLineDir = c.cmdLineDir;
            state.InstallDir = c.installDir;
            platform.processes = {{7, L"C:\\Elsewhere\\x.exe"}};
            if (running) platform.processes.push_back({8, L"C:\\Apps\\Morvane\\Werkzeuge\\Helfer.exe"});
            StepContext context{state, view, platform};
            EXPECT_EQ(c.step(context), running ? 1 : 0);
            const std::wstring message =
                L"Auf diesem PC läuft noch ein Programm aus dem Morvane-Verzeichnis:\n"
                L"C:\\Apps\\Morvane\\Werkzeuge\\Helfer.exe\nBitte beenden Sie es zuerst!\nDas Update wird "
                L"abgebrochen!";
            EXPECT_EQ(view.events,
                      running ? std::vector<std::wstring>{L"error:" + message} : std::vector<std::wstring>{});
        }
    }
}

}  // namespace
}  // namespace mvn

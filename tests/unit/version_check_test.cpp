#include "discovery/version_check.h"

#include <gtest/gtest.h>

#include "discovery/messages.h"
#include "discovery/user_check.h"
#include "fakes.h"

namespace mvn {
namespace {

using testing::FakePlatform;
using testing::FakeView;
using testing::ProcessEnded;

std::wstring V4(const std::wstring& version) {
    return std::wstring(text::kV4Head) + version + std::wstring(text::kV4Tail);
}

TEST(VersionDecisionP2, ShowTimeOutcomes) {
    struct Case {
        std::optional<ProductVersion> version;  // nullopt: executable without version information
        bool exists;
        std::vector<bool> answers;
        std::optional<int> exit;  // nullopt: goes on to the waiting window
        std::vector<std::wstring> dialogs;
    } cases[] = {
        {std::nullopt, false, {}, 0, {}},
        {ProductVersion{9, 3, 0, 12},
         true,
         {true},
         std::nullopt,
         {L"ask:" + std::wstring(text::kV3ConfirmUpdate)}},
        {ProductVersion{9, 3, 0, 12}, true, {false}, 1, {L"ask:" + std::wstring(text::kV3ConfirmUpdate)}},
        {ProductVersion{95, 1, 0, 0},
         true,
         {true},
         std::nullopt,
         {L"ask:" + std::wstring(text::kV3ConfirmUpdate)}},
        {ProductVersion{10, 0, 1, 0},
         true,
         {},
         1,
         {L"error:" + std::wstring(text::kV1AlreadyVersion10), L"error:" + V4(L"10.0.1.0")}},
        {ProductVersion{8, 5, 0, 0},
         true,
         {},
         1,
         {L"error:" + std::wstring(text::kV2UnknownVersion), L"error:" + V4(L"8.5.0.0")}},
        {ProductVersion{11, 0, 0, 0},
         true,
         {},
         1,
         {L"error:" + std::wstring(text::kV2UnknownVersion), L"error:" + V4(L"11.0.0.0")}},
        {std::nullopt,
         true,
         {},
         1,
         {L"error:" + std::wstring(text::kV2UnknownVersion), L"error:" + V4(L"0.0.0.0")}},
    };
    for (const Case& c : cases) {
        FakeView view;
        FakePlatform platform;
        RunState state;
        state.CmdLineDir = L"D:\\Apps\\Morvane";
        if (c.exists) platform.AddFile(L"D:\\Apps\\Morvane\\Morvane9.EXE");
        if (c.version) platform.versions[testing::PathKey(L"D:\\Apps\\Morvane\\Morvane9.EXE")] = *c.version;
        view.answers = c.answers;
        StepContext context{state, view, platform};
        std::optional<int> exit;
        try {
            VersionDecisionP2(context);
        } catch (const ProcessEnded& e) {
            exit = e.code;
        }
        EXPECT_EQ(exit, c.exit);
        std::vector<std::wstring> dialogs;
        for (const auto& e : view.events)
            if (!e.starts_with(L"end:")) dialogs.push_back(e);
        EXPECT_EQ(dialogs, c.dialogs);
    }
}

TEST(CheckMVNExe10, OnlyVersion9Passes) {
    struct Case {
        std::optional<ProductVersion> version;
        int result;
        std::wstring recorded;
    } cases[] = {
        {ProductVersion{9, 1, 0, 12}, 0, L"9.1.0.12"},
        {ProductVersion{10, 0, 0, 0}, 1, L"10.0.0.0"},
        {std::nullopt, 1, L"0.0.0.0"},
    };
    for (const Case& c : cases) {
        FakeView view;
        FakePlatform platform;
        RunState state;
        state.InstallDir = L"C:\\Program Files (x86)\\Morvane\\";
        if (c.version)
            platform.versions[testing::PathKey(L"C:\\Program Files (x86)\\Morvane\\Morvane9.EXE")] =
                *c.version;
        StepContext context{state, view, platform};
        EXPECT_EQ(CheckMVNExe10(context), c.result);
        EXPECT_EQ(state.InstalledVersion, c.recorded);
        EXPECT_EQ(view.Only(L"error:").size(), c.result == 0 ? 0u : 1u);
        if (c.result) {
            EXPECT_EQ(view.Only(L"error:")[0], text::kV5NeedsVersion9);
        }
    }
}

TEST(UserCheck, OnlyZeroPassesAndThe001FolderSkipsTheCount) {
    struct Case {
        std::optional<std::wstring> count;
        bool has001;
        int p2, ten;
    } cases[] = {
        {L"0", false, 0, 0},   {L"1", false, 1, 1},   {std::nullopt, false, 1, 1},
        {L"abc", false, 1, 1}, {L"0x0", false, 0, 0}, {L"3", true, 1, 0},
    };
    for (const Case& c : cases) {
        for (StepFn step : {&PruefeMVNUserP2, &PruefeMVNUser10}) {
            FakeView view;
            FakePlatform platform;
            RunState state;
            state.MainIniPath = L"D:\\Ini\\morvane.ini";
            state.Has001Dir = c.has001;
            if (c.count) platform.SetIni(state.MainIniPath, L"Benutzer", L"UserZahl", *c.count);
            StepContext context{state, view, platform};
            const int expected = step == &PruefeMVNUserP2 ? c.p2 : c.ten;
            EXPECT_EQ(step(context), expected);
            EXPECT_EQ(view.Only(L"error:"),
                      expected ? std::vector<std::wstring>{std::wstring(text::kUsersSignedIn)}
                               : std::vector<std::wstring>{});
        }
    }
}

}  // namespace
}  // namespace mvn

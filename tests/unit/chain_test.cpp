#include "app/chain.h"

#include <gtest/gtest.h>

#include "app/updater.h"
#include "fakes.h"

namespace mvn {
namespace {

using testing::FakePlatform;
using testing::FakeView;
using testing::ProcessEnded;

// Results the fake steps return, by position; a step records that it ran.
int g_results[4];
std::vector<int> g_ran;
template <int I>
int FakeStep(StepContext&) {
    g_ran.push_back(I);
    if (g_results[I] < 0) throw StepError(L"kaputt");
    return g_results[I];
}

constexpr ChainStep kChain[] = {
    {L"a", {}, {}, &FakeStep<0>, {Follow::Nothing, {}}},
    {L"b", L"vor b", {}, &FakeStep<1>, {Follow::OkLine, L"b - OK"}},
    {L"c",
     L"vor c",
     L"status c",
     &FakeStep<2>,
     {Follow::LogLineAndPump, L"c - OK"},
     {Follow::OkLine, L"c - Fehler"}},
    {L"d", {}, {}, &FakeStep<3>, {Follow::FinishSucceeded, {}}, {Follow::FinishSucceeded, {}}},
};
const Profile kProfile{{}, true, nullptr, kChain};

struct ChainRun {
    FakeView view;
    FakePlatform platform;
    Updater updater{kProfile, view, platform};
    std::optional<int> exitCode;

    void ClickWeiter() {
        g_ran.clear();
        try {
            updater.BtWeiterClick();
        } catch (const ProcessEnded& e) {
            exitCode = e.code;
        }
    }
};

TEST(Chain, ReactsToEachStepResult) {
    struct Case {
        int results[4];
        std::vector<int> ran;
        int exit;
        std::vector<std::wstring> logLines;
    } cases[] = {
        {{0, 0, 0, 0}, {0, 1, 2, 3}, 0, {L"vor b", L"b - OK", L"vor c", L"c - OK"}},
        {{2, 0, 0, 0}, {0}, 1, {}},
        {{0, 1, 0, 0}, {0, 1}, 1, {L"vor b"}},
        {{0, 0, 7, 0}, {0, 1, 2, 3}, 0, {L"vor b", L"b - OK", L"vor c", L"c - Fehler"}},
        {{0, 0, 0, 5}, {0, 1, 2, 3}, 0, {L"vor b", L"b - OK", L"vor c", L"c - OK"}},
    };
    for (const Case& c : cases) {
        std::copy(std::begin(c.results), std::end(c.results), g_results);
        ChainRun run;
        run.ClickWeiter();
        EXPECT_EQ(g_ran, c.ran);
        EXPECT_EQ(run.exitCode, c.exit);
        EXPECT_EQ(run.view.Only(L"log:"), c.logLines);
    }
}

TEST(Chain, ReportsInTheOrderTheUserSeesIt) {
    std::fill(std::begin(g_results), std::end(g_results), 0);
    ChainRun run;
    run.ClickWeiter();
    const std::vector<std::wstring> expected = {L"expand",     L"pump",      L"log:vor b", L"log:b - OK",
                                                L"pump",       L"pause:500", L"log:vor c", L"status:status c",
                                                L"log:c - OK", L"pump",      L"pump",      L"end:0"};
    EXPECT_EQ(run.view.events, expected);
}

TEST(Chain, AbbruchHandledAtAMessagePointEndsBeforeTheNextStep) {
    std::fill(std::begin(g_results), std::end(g_results), 0);
    ChainRun run;
    run.view.onPump = [&](int pump) {
        if (pump == 1) run.updater.BtAbbruchClick();  // the pump after "b - OK"
    };
    run.ClickWeiter();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(g_ran, (std::vector<int>{0, 1}));
}

TEST(Chain, WeiterDuringARunIsIgnored) {
    std::fill(std::begin(g_results), std::end(g_results), 0);
    ChainRun run;
    run.view.onPump = [&](int pump) {
        if (pump == 0) run.updater.BtWeiterClick();
    };
    run.ClickWeiter();
    EXPECT_EQ(g_ran, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(std::count(run.view.events.begin(), run.view.events.end(), L"expand"), 1);
}

TEST(Chain, AnErrorSkipsTheRestAndASecondRunStartsFromTheFirstStep) {
    std::fill(std::begin(g_results), std::end(g_results), 0);
    g_results[2] = -1;
    ChainRun run;
    g_ran.clear();
    EXPECT_THROW(run.updater.BtWeiterClick(), StepError);
    EXPECT_EQ(g_ran, (std::vector<int>{0, 1, 2}));
    EXPECT_FALSE(run.updater.running());

    g_results[2] = 0;
    run.ClickWeiter();
    EXPECT_EQ(g_ran, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(run.exitCode, 0);
    const std::vector<std::wstring> log = run.view.Only(L"log:");
    EXPECT_EQ(log.front(), L"vor b");
    EXPECT_EQ(std::count(log.begin(), log.end(), L"vor b"), 2) << "the first attempt's lines stay";
}

TEST(Updater, FormCreateTakesTheDirectoryOnlyWhereTheProfileSaysSo) {
    FakeView view;
    FakePlatform platform;
    Updater withArgs(kProfile, view, platform);
    withArgs.FormCreate(L"p.exe D:\\Program Files\\Morvane\\");
    EXPECT_EQ(withArgs.state().CmdLineDir, L"D:\\Program Files\\Morvane");

    const Profile ignoring{{}, false, nullptr, kChain};
    Updater without(ignoring, view, platform);
    without.FormCreate(L"p.exe D:\\Morvane");
    EXPECT_EQ(without.state().CmdLineDir, L"");
}

TEST(Updater, FormShowRunsTheCheckThenBringsToFrontAndCollapses) {
    FakeView view;
    FakePlatform platform;
    static bool checked;
    checked = false;
    const Profile profile{{}, true, [](StepContext& c) { checked = c.view.AskYesNo(L"?"), void(); }, kChain};
    view.answers = {true};
    Updater updater(profile, view, platform);
    updater.FormShow();
    EXPECT_TRUE(checked);
    EXPECT_EQ(view.events, (std::vector<std::wstring>{L"ask:?", L"front", L"pump", L"collapse"}));
}

// Every way a started run ends without completing undoes it first: a failed step, "Abbruch", closing
// the window, and an error a step raised (before its box, with the window staying open).
std::vector<std::wstring>* g_events;
bool g_undoSucceeds;
bool Undo(StepContext&) {
    g_events->push_back(L"undo");
    return g_undoSucceeds;
}
const Profile kUndoing{{}, true, nullptr, kChain, &Undo};

struct UndoRun {
    FakeView view;
    FakePlatform platform;
    Updater updater{kUndoing, view, platform};
    std::optional<int> exitCode;
    explicit UndoRun(bool undoSucceeds = true) {
        g_events = &view.events;
        g_undoSucceeds = undoSucceeds;
    }
    template <class F>
    void Do(F f) {
        g_ran.clear();
        try {
            f();
        } catch (const ProcessEnded& e) {
            exitCode = e.code;
        }
    }
    // The last events: what came right before the end.
    std::vector<std::wstring> Tail(std::size_t n) const {
        return {view.events.end() - static_cast<std::ptrdiff_t>(n), view.events.end()};
    }
};

TEST(Chain, AStartedRunThatDoesNotCompleteIsUndoneBeforeExitCode1) {
    std::fill(std::begin(g_results), std::end(g_results), 0);
    g_results[1] = 1;
    UndoRun failed;
    failed.Do([&] { failed.updater.BtWeiterClick(); });
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_EQ(failed.Tail(2), (std::vector<std::wstring>{L"undo", L"end:1"}));

    g_results[1] = 0;
    UndoRun abbruch;
    abbruch.view.onPump = [&](int pump) {
        if (pump == 1) abbruch.updater.BtAbbruchClick();
    };
    abbruch.Do([&] { abbruch.updater.BtWeiterClick(); });
    EXPECT_EQ(abbruch.exitCode, 1);
    EXPECT_EQ(abbruch.Tail(2), (std::vector<std::wstring>{L"undo", L"end:1"}));

    UndoRun completed;
    completed.Do([&] { completed.updater.BtWeiterClick(); });
    EXPECT_EQ(completed.exitCode, 0);
    EXPECT_EQ(std::count(completed.view.events.begin(), completed.view.events.end(), L"undo"), 0);
}

TEST(Chain, ClosingIsExitCode0OnlyBeforeAnyRunAndIgnoredDuringOne) {
    std::fill(std::begin(g_results), std::end(g_results), 0);
    UndoRun waiting;
    EXPECT_TRUE(waiting.updater.FormCloseQuery());
    EXPECT_EQ(std::count(waiting.view.events.begin(), waiting.view.events.end(), L"undo"), 0);

    UndoRun during;
    std::optional<bool> mayClose;
    during.view.onPump = [&](int pump) {
        if (pump == 1) mayClose = during.updater.FormCloseQuery();
    };
    during.Do([&] { during.updater.BtWeiterClick(); });
    EXPECT_EQ(mayClose, false);
    EXPECT_EQ(during.exitCode, 0) << "the run went on to its end";

    g_results[2] = -1;
    UndoRun afterError;
    EXPECT_THROW(afterError.updater.BtWeiterClick(), StepError);
    EXPECT_EQ(afterError.view.events.back(), L"undo") << "undone before the error box";
    afterError.Do([&] { afterError.updater.FormCloseQuery(); });
    EXPECT_EQ(afterError.exitCode, 1) << "closing after a failed run is no success";
}

TEST(Chain, AnErrorWhoseUndoFailsEndsTheProcessInsteadOfWaiting) {
    std::fill(std::begin(g_results), std::end(g_results), 0);
    g_results[2] = -1;
    UndoRun run(false);
    run.Do([&] { run.updater.BtWeiterClick(); });
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.Tail(2), (std::vector<std::wstring>{L"undo", L"end:1"}));
}

}  // namespace
}  // namespace mvn

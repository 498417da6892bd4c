#include "app/command_line.h"

#include <gtest/gtest.h>

#include "ui/error_text.h"

namespace mvn {
namespace {

TEST(CommandLine, InstallationDirectoryFromArguments) {
    struct Case {
        std::wstring line;
        std::wstring dir;
    } cases[] = {
        {L"prog.exe", L""},
        {L"prog.exe D:\\Apps\\Morvane", L"D:\\Apps\\Morvane"},
        {L"prog.exe D:\\Program Files\\Morvane\\", L"D:\\Program Files\\Morvane"},
        {L"prog.exe D:\\a\t\tb   c", L"D:\\a b c"},
        {L"\"C:\\x y\\prog.exe\" \"D:\\Program Files\\Morvane\\\"", L"D:\\Program Files\\Morvane"},
        {L"prog.exe D:\\Pro\"gram Fi\"les\\M", L"D:\\Program Files\\M"},
        {L"prog.exe \"\"D:\\M", L"D:\\M"},
        {L"prog.exe \"\" D:\\M", L"D:\\M"},
        {L"prog.exe D:\\M\\\\", L"D:\\M\\"},
        {L"prog.exe C:\\", L"C:"},
        {L"prog.exe \"D:\\open quote", L"D:\\open quote"},
        {L"prog.exe   ", L""},
        {L"prog.exe \"   \" x", L"    x"},
        {L"prog.exe a\\\"b c\\\"", L"a\\b c"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CmdLineDirFromArguments(SplitCommandLine(c.line)), c.dir)
            << std::string(c.line.begin(), c.line.end());
    }
}

TEST(CommandLine, ProgramNameIsFirstAndSplittingStopsAtAnEmptyArgument) {
    EXPECT_EQ(SplitCommandLine(L"\"C:\\My Tools\\p.exe\" a b"),
              (std::vector<std::wstring>{L"C:\\My Tools\\p.exe", L"a", L"b"}));
    EXPECT_EQ(SplitCommandLine(L"p.exe a \"\""), (std::vector<std::wstring>{L"p.exe", L"a"}));
}

TEST(ErrorText, ApplicationTitleAndFullStop) {
    EXPECT_EQ(ApplicationTitle(L"C:\\Down loads\\MVNUpdaterP2_10.exe"), L"Mvnupdaterp2_10");
    EXPECT_EQ(ApplicationTitle(L"Z:\\MVNUpdater10.EXE"), L"Mvnupdater10");
    EXPECT_EQ(ApplicationTitle(L"D:\\x.y\\ÄBC.Tool.exe"), L"Äbc");

    struct Case {
        std::wstring in, out;
    } cases[] = {
        {L"In C:\\x kann nicht geschrieben werden", L"In C:\\x kann nicht geschrieben werden."},
        {L"Abgebrochen!", L"Abgebrochen!"},
        {L"Wert 'x'", L"Wert 'x'"},
        {L"Ende.", L"Ende."},
        {L"Pfad C:\\", L"Pfad C:\\."},
        {L"Zahl 7", L"Zahl 7."},
        {L"a-", L"a-"},
        {L"", L""},
    };
    for (const Case& c : cases) EXPECT_EQ(WithFullStop(c.in), c.out);
}

}  // namespace
}  // namespace mvn

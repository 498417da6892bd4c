// The Win32 side of the running-programs check, run under Wine (and on Windows): the listing finds
// this very process under its module path, and the comparison folds letters beyond ASCII.
#ifdef _WIN32
#include <algorithm>
#include <gtest/gtest.h>

#include "platform/win32_platform_win.h"

namespace mvn {
namespace {

TEST(Win32RunningProcesses, TheListingHoldsThisProcessWithItsImagePath) {
    Win32Platform platform;
    const auto processes = platform.RunningProcesses();
    const auto own = std::find_if(processes.begin(), processes.end(), [&](const Platform::RunningProcess& p) {
        return p.id == platform.CurrentProcessId();
    });
    ASSERT_NE(own, processes.end());
    EXPECT_EQ(platform.CompareOrdinalIgnoreCase(platform.LongPath(own->imagePath),
                                                platform.LongPath(platform.ModuleFileName())),
              0)
        << std::string(own->imagePath.begin(), own->imagePath.end());
}

TEST(Win32RunningProcesses, PathOperations) {
    Win32Platform platform;
    EXPECT_EQ(platform.CompareOrdinalIgnoreCase(L"C:\\Szkoła\\Äpfel.exe", L"c:\\SZKOŁA\\äPFEL.EXE"), 0);
    EXPECT_LT(platform.CompareOrdinalIgnoreCase(L"C:\\Apps\\beta.exe", L"C:\\Apps\\Zeta.exe"), 0);
    EXPECT_GT(platform.CompareOrdinalIgnoreCase(L"C:\\Apps\\Morvane2", L"C:\\Apps\\Morvane"), 0);
    EXPECT_EQ(platform.LongPath(L"C:\\no such folder\\x.exe"), L"");
    const std::wstring temp = platform.TempPath();
    EXPECT_FALSE(platform.LongPath(temp).empty());
}

}  // namespace
}  // namespace mvn
#endif  // _WIN32

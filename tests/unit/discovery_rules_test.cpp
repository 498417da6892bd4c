#include <gtest/gtest.h>

#include "discovery/path_rules.h"
#include "discovery/user_count.h"
#include "discovery/version_text.h"

namespace mvn {
namespace {

TEST(PathRules, GetPreviousDir) {
    struct Case {
        std::wstring in, out;
    } cases[] = {
        {L"D:\\Morvane\\Daten\\", L"D:\\Morvane\\"},
        {L"D:\\Morvane\\Daten", L"D:\\Morvane\\"},
        {L"D:\\Daten\\", L"D:\\"},
        {L"D:\\", L"D:\\"},
        {L"Daten\\", L"Daten\\"},
        {L"", L""},
        {L"D:\\\\Daten\\", L"D:\\\\"},
        {L"\\\\srv\\share\\Daten\\", L"\\\\srv\\share\\"},
        {L"D:\\a\\\\", L"D:\\"},
    };
    for (const Case& c : cases) EXPECT_EQ(GetPreviousDir(c.in), c.out);
}

TEST(PathRules, VirtualStoreCandidate) {
    struct Case {
        std::wstring localAppData, installDir, candidate;
    } cases[] = {
        {L"C:\\Users\\user\\AppData\\Local", L"C:\\Program Files (x86)\\Morvane\\",
         L"c:\\users\\user\\appdata\\local\\VirtualStore\\Program Files (x86)\\Morvane\\MorvaneStart.ini"},
        {L"C:\\Users\\user\\AppData\\Local\\", L"C:\\Programme\\Morvane",
         L"c:\\users\\user\\appdata\\local\\VirtualStore\\Programme\\Morvan\\MorvaneStart.ini"},
        {L"C:\\Users\\ÖZGÜR\\AppData\\Local", L"D:\\M\\",
         L"c:\\users\\ÖzgÜr\\appdata\\local\\VirtualStore\\M\\MorvaneStart.ini"},
        {L"", L"D:", L"\\VirtualStore\\MorvaneStart.ini"},
    };
    for (const Case& c : cases) EXPECT_EQ(VirtualStoreStartIni(c.localAppData, c.installDir), c.candidate);
}

TEST(VersionText, FourUnsignedHalvesOrZeros) {
    EXPECT_EQ(VersionText(ProductVersion{9, 1, 0, 12}), L"9.1.0.12");
    EXPECT_EQ(VersionText(std::nullopt), L"0.0.0.0");
    EXPECT_EQ(VersionText(ProductVersion{65535, 0, 0, 0}), L"65535.0.0.0");
    EXPECT_EQ(VersionText(ProductVersion{0, 65535, 0, 0}), L"0.65535.0.0");
    EXPECT_EQ(VersionText(ProductVersion{0, 0, 65535, 0}), L"0.0.65535.0");
    EXPECT_EQ(VersionText(ProductVersion{0, 0, 0, 65535}), L"0.0.0.65535");
}

TEST(VersionText, MajorVersion) {
    struct Case {
        std::wstring text;
        bool nine;
        long long major;
    } cases[] = {
        {L"9.3.0.12", true, 9}, {L"95.1.0.0", true, 95}, {L"10.0.1.0", false, 10},
        {L"0.0.0.0", false, 0}, {L"8.5.0.0", false, 8},  {L"65535.1.1.1", false, 65535},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsMajorVersion9(c.text), c.nine);
        EXPECT_EQ(MajorNumber(c.text), c.major);
    }
}

TEST(UserCount, WholeNumbersOrMinusOne) {
    struct Case {
        std::wstring text;
        int count;
    } cases[] = {
        {L"0", 0},
        {L"1", 1},
        {L"-3", -3},
        {L"+0", 0},
        {L"0x0", 0},
        {L"0X1f", 31},
        {L"0x", -1},
        {L"0xg", -1},
        {L"", -1},
        {L"abc", -1},
        {L"1 2", -1},
        {L"00", 0},
        {L"99999999999", -1},
        {L"0x00000000", 0},
        {L"-", -1},
        {L"2147483647", 2147483647},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseUserCount(c.text), c.count) << std::string(c.text.begin(), c.text.end());
}

}  // namespace
}  // namespace mvn

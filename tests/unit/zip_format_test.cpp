// The pure parts of the archive format: DOS times, names, Zip64 decisions and record encoders,
// checked against values worked out by hand from the APPNOTE.
#include "backup/zip/zip_format.h"

#include <cstdint>
#include <string>
#include <vector>
#include <zlib.h>

#include "backup/zip/utf8.h"
#include "gtest/gtest.h"
#include "zip_test_io.h"

namespace mvn::zip {
namespace {

using test::Concat;
using test::Hex;

TEST(ZipFormat, DosDateTimeCoversOnlyTheYearsDosCanHold) {
    const struct {
        LocalTime time;
        DosDateTime expected;
    } cases[] = {
        {{1979, 12, 31, 23, 59, 58}, {0, 0}},
        {{1980, 1, 1, 0, 0, 0}, {0x0000, 0x0021}},
        {{1980, 1, 1, 0, 0, 1}, {0x0000, 0x0021}},  // odd seconds round down
        {{2024, 5, 17, 14, 30, 43}, {0x73D5, 0x58B1}},
        {{2107, 12, 31, 23, 59, 59}, {0xBF7D, 0xFF9F}},
        {{2108, 1, 1, 0, 0, 0}, {0, 0}},
        {{1601, 1, 1, 0, 0, 0}, {0, 0}},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(ToDosDateTime(cases[i].time), cases[i].expected) << "case " << i;
    }
}

TEST(ZipFormat, Utf8IsTheSameForTwoAndFourByteWchar) {
    const struct {
        std::wstring wide;
        std::string utf8;
    } cases[] = {
        {L"Morvane\\Morvane9.EXE", "Morvane\\Morvane9.EXE"},
        {L"Zeugnis \u00e4\u00df", "Zeugnis \xc3\xa4\xc3\x9f"},
        {L"\u20ac\uffff", "\xe2\x82\xac\xef\xbf\xbf"},
        {L"\U0001F600.txt", "\xf0\x9f\x98\x80.txt"},  // a surrogate pair where wchar_t has 16 bits
        {std::wstring(1, static_cast<wchar_t>(0xD800)) + L"x", "\xef\xbf\xbdx"},  // lone surrogate
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(ToUtf8(cases[i].wide), cases[i].utf8) << "case " << i;
        if (i + 1 < std::size(cases)) {  // a lone surrogate does not come back
            EXPECT_EQ(FromUtf8(cases[i].utf8), cases[i].wide) << "case " << i;
        }
    }
    EXPECT_EQ(FromUtf8("a\xff\xc0\x80\xed\xa0\x80"
                       "b"),
              L"a\ufffd\ufffd\ufffd\ufffd\ufffd\ufffdb");
}

TEST(ZipFormat, DeflateBound64AgreesWithZlibWhereZlibDoesNotWrap) {
    z_stream z{};
    ASSERT_EQ(deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::vector<std::uint64_t> sizes = {0, 1, 16384, 1u << 20, 123456789, 0xF0000000};
    if constexpr (sizeof(uLong) >= 8) {
        sizes.insert(sizes.end(), {4293656840, 4293656841, 0xFFFFFFFF, 5ull << 30});
    }
    for (std::uint64_t size : sizes) {
        EXPECT_EQ(DeflateBound64(size), deflateBound(&z, static_cast<uLong>(size))) << size;
    }
    deflateEnd(&z);
}

TEST(ZipFormat, Zip64DecisionsAtTheirThresholds) {
    // 4293656841 is the smallest size whose worst-case raw deflate output reaches 0xFFFFFFFF.
    const struct {
        std::uint64_t size;
        bool zip64;
    } local[] = {{0, false}, {4293656840, false}, {4293656841, true}, {0xFFFFFFFF, true}, {1ull << 40, true}};
    for (const auto& c : local) EXPECT_EQ(LocalHeaderNeedsZip64(c.size), c.zip64) << c.size;

    const struct {
        std::uint64_t entries, offset, size;
        bool zip64;
    } end[] = {
        {65534, 0xFFFFFFFE, 0xFFFFFFFE, false},
        {65535, 0, 0, true},
        {1, 0xFFFFFFFF, 0, true},
        {1, 0, 0xFFFFFFFF, true},
        {0, 1ull << 33, 46, true},
    };
    for (const auto& c : end) EXPECT_EQ(EndNeedsZip64(c.entries, c.offset, c.size), c.zip64) << c.entries;
}

EntryRecord Sample() {
    EntryRecord e;
    e.name = "a";
    e.modified = {0x73D5, 0x58B1};
    e.crc = 0x11223344;
    e.externalAttributes = 0xFFFFFFFF;
    return e;
}

TEST(ZipFormat, LocalHeaderWithZip64CarriesBothSizes) {
    EntryRecord e = Sample();
    e.versionNeeded = kVersionNeededZip64;
    e.localZip64 = true;
    e.uncompressedSize = 0x100000000;
    e.compressedSize = 0x2345;
    Bytes out;
    AppendLocalHeader(out, e);
    EXPECT_EQ(out, Concat({Hex("50 4b 03 04 2d 00 00 08 08 00 d5 73 b1 58 44 33 22 11 ff ff ff ff ff ff ff ff"
                               "01 00 14 00"),
                           test::BytesOf("a"),
                           Hex("01 00 10 00 00 00 00 00 01 00 00 00 45 23 00 00 00 00 00 00")}));
}

TEST(ZipFormat, CentralHeaderZip64FieldHoldsExactlyTheValuesAtTheLimit) {
    const struct {
        std::uint64_t uncompressed, compressed, offset;
        Bytes classic;  // compressed, uncompressed, offset as the 32-bit fields read
        Bytes extra;
    } cases[] = {
        {0xFFFFFFFE, 0xFFFFFFFE, 0xFFFFFFFE, Hex("fe ff ff ff fe ff ff ff fe ff ff ff"), {}},
        {5, 7, 0xFFFFFFFF, Hex("07 00 00 00 05 00 00 00 ff ff ff ff"),
         Hex("01 00 08 00 ff ff ff ff 00 00 00 00")},
        {0x100000000, 9, 0x100000010, Hex("09 00 00 00 ff ff ff ff ff ff ff ff"),
         Hex("01 00 10 00 00 00 00 00 01 00 00 00 10 00 00 00 01 00 00 00")},
        {0x100000001, 0xFFFFFFFF, 3, Hex("ff ff ff ff ff ff ff ff 03 00 00 00"),
         Hex("01 00 10 00 01 00 00 00 01 00 00 00 ff ff ff ff 00 00 00 00")},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EntryRecord e = Sample();
        e.uncompressedSize = cases[i].uncompressed;
        e.compressedSize = cases[i].compressed;
        e.localHeaderOffset = cases[i].offset;
        Bytes out;
        AppendCentralHeader(out, e);
        const Bytes extraLength = {static_cast<std::byte>(cases[i].extra.size()), std::byte{0}};
        const Bytes expected = Concat({Hex("50 4b 01 02 14 00 14 00 00 08 08 00 d5 73 b1 58 44 33 22 11"),
                                       Bytes(cases[i].classic.begin(), cases[i].classic.begin() + 8),
                                       Hex("01 00"), extraLength, Hex("00 00 00 00 00 00 f7 7b 00 00"),
                                       Bytes(cases[i].classic.begin() + 8, cases[i].classic.end()),
                                       test::BytesOf("a"), cases[i].extra});
        EXPECT_EQ(out, expected) << "case " << i;
    }
}

TEST(ZipFormat, EndRecordsClassicAndZip64) {
    Bytes classic;
    AppendEndRecords(classic, 2, 0x63, 0x7A);
    EXPECT_EQ(classic, Hex("50 4b 05 06 00 00 00 00 02 00 02 00 7a 00 00 00 63 00 00 00 00 00"));

    Bytes wide;
    AppendEndRecords(wide, 65535, 0x1000, 0x20);
    EXPECT_EQ(wide, Hex("50 4b 06 06 2c 00 00 00 00 00 00 00 2d 00 2d 00 00 00 00 00 00 00 00 00"
                        "ff ff 00 00 00 00 00 00 ff ff 00 00 00 00 00 00 20 00 00 00 00 00 00 00"
                        "00 10 00 00 00 00 00 00"
                        "50 4b 06 07 00 00 00 00 20 10 00 00 00 00 00 00 01 00 00 00"
                        "50 4b 05 06 00 00 00 00 ff ff ff ff ff ff ff ff ff ff ff ff 00 00"));
}

TEST(ZipFormat, NameLongerThanSixteenBitsIsRefused) {
    EntryRecord e = Sample();
    e.name.assign(65536, 'x');
    Bytes out;
    EXPECT_THROW(AppendLocalHeader(out, e), std::runtime_error);
    e.name.pop_back();
    EXPECT_NO_THROW(AppendLocalHeader(out, e));
}

}  // namespace
}  // namespace mvn::zip

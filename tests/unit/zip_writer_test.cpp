// ZipWriter: the exact bytes of a small archive, Zip64 at its thresholds, many entries, and failures
// at every sink call and source read.
#include "backup/zip/zip_writer.h"

#include <cstdio>
#include <string>
#include <vector>
#include <zlib.h>

#include "backup/zip/zip_error.h"
#include "backup/zip/zip_verify.h"
#include "gtest/gtest.h"
#include "zip_test_io.h"

namespace mvn {
namespace {

using test::BytesOf;
using test::Concat;
using test::Hex;
using test::MemoryArchive;
using test::MemorySink;
using test::MemorySource;

// Deterministic bytes that deflate cannot shrink, so the data needs several output blocks.
std::string Noise(std::size_t n, std::uint32_t seed = 1) {
    std::string out(n, '\0');
    for (char& c : out) {
        seed = seed * 1664525u + 1013904223u;
        c = static_cast<char>(seed >> 24);
    }
    return out;
}

ZipVerifyResult Verify(const std::vector<std::byte>& bytes, std::uint64_t base = 0) {
    MemoryArchive archive(bytes, base);
    return ZipVerify(archive, base);
}

TEST(ZipWriter, SmallArchiveMatchesTheFormatByteForByte) {
    const LocalTime time{2024, 5, 17, 14, 30, 43};
    MemorySource empty("", time, 0x21);
    MemorySource hello("hello", time, 0xFFFFFFFF);  // only the bits in 0x7BF7 may reach the archive
    MemorySink sink;
    ZipWriter writer(sink);
    writer.Add(L"Morvane\\e.txt", empty);
    writer.Add(L"Morvane\\hello.txt", hello);
    writer.Close();

    const auto expected = Concat({
        // Local header 1 at 0: needed 20, flag 0x0800, method 8, time, date, CRC 0, sizes 2 and 0.
        Hex("50 4b 03 04 14 00 00 08 08 00 d5 73 b1 58 00 00 00 00 02 00 00 00 00 00 00 00 0d 00 00 00"),
        BytesOf("Morvane\\e.txt"),
        Hex("03 00"),  // the empty final deflate block
        // Local header 2 at 45.
        Hex("50 4b 03 04 14 00 00 08 08 00 d5 73 b1 58 86 a6 10 36 07 00 00 00 05 00 00 00 11 00 00 00"),
        BytesOf("Morvane\\hello.txt"),
        Hex("cb 48 cd c9 c9 07 00"),
        // Central directory at 99: made by 20, needed 20, ..., attributes, local header offset.
        Hex("50 4b 01 02 14 00 14 00 00 08 08 00 d5 73 b1 58 00 00 00 00 02 00 00 00 00 00 00 00 0d 00 00 00"
            "00 00 00 00 00 00 21 00 00 00 00 00 00 00"),
        BytesOf("Morvane\\e.txt"),
        Hex("50 4b 01 02 14 00 14 00 00 08 08 00 d5 73 b1 58 86 a6 10 36 07 00 00 00 05 00 00 00 11 00 00 00"
            "00 00 00 00 00 00 f7 7b 00 00 2d 00 00 00"),
        BytesOf("Morvane\\hello.txt"),
        Hex("50 4b 05 06 00 00 00 00 02 00 02 00 7a 00 00 00 63 00 00 00 00 00"),
    });
    EXPECT_EQ(sink.bytes, expected);
    EXPECT_TRUE(Verify(sink.bytes).ok);
}

TEST(ZipWriter, StreamsDataOfManyBlocksAndShortReads) {
    const std::string content = Noise(70000) + std::string(100000, 'a') + Noise(30000, 7);
    MemorySource source(content);
    source.readLimit = 1000;  // reads shorter than the block size must not end the entry
    MemorySink sink;
    ZipWriter writer(sink);
    writer.Add(L"Morvane\\mixed.bin", source);
    writer.Close();

    const ZipVerifyResult result = Verify(sink.bytes);
    ASSERT_TRUE(result.ok) << result.problem;
    ASSERT_EQ(result.entries.size(), 1u);
    const zip::EntryRecord& e = result.entries[0].record;
    EXPECT_EQ(e.uncompressedSize, content.size());
    EXPECT_EQ(e.crc,
              crc32(0, reinterpret_cast<const Bytef*>(content.data()), static_cast<uInt>(content.size())));
}

// The local header's Zip64 field depends on the size known before reading. A source that reports a huge
// size but holds three bytes exercises that path without 4 GiB of input.
TEST(ZipWriter, LocalZip64IsDecidedFromTheReportedSize) {
    const struct {
        std::uint64_t reportedSize;
        bool localZip64;
    } cases[] = {{4293656840, false}, {4293656841, true}, {0xFFFFFFFF, true}, {1ull << 36, true}};
    for (const auto& c : cases) {
        MemorySource source("abc");
        source.reportedSize = c.reportedSize;
        MemorySink sink;
        ZipWriter writer(sink);
        writer.Add(L"a", source);
        writer.Close();

        const ZipVerifyResult result = Verify(sink.bytes);
        ASSERT_TRUE(result.ok) << result.problem << " size " << c.reportedSize;
        const ZipEntryInfo& info = result.entries[0];
        EXPECT_EQ(info.record.localZip64, c.localZip64) << c.reportedSize;
        EXPECT_FALSE(info.centralZip64) << "no value reaches the limit";
        EXPECT_EQ(info.record.versionNeeded, c.localZip64 ? 45 : 20) << c.reportedSize;
        EXPECT_EQ(info.record.uncompressedSize, 3u) << "patched with the real size";
        // The 32-bit size fields of a Zip64 local header read 0xFFFFFFFF; otherwise the real sizes.
        EXPECT_EQ(zip::Le32(sink.bytes.data() + 22), c.localZip64 ? 0xFFFFFFFFu : 3u);
    }
}

TEST(ZipWriter, Zip64ByOffsetAtTheThresholds) {
    // Two empty entries "a" and "b" of 33 bytes each (header 30, name 1, data 2); base places them.
    constexpr std::uint64_t kEntry = 33;
    const struct {
        std::uint64_t base;
        bool secondZip64;
        bool zip64End;
    } cases[] = {
        {0xFFFFFFFE - 2 * kEntry, false, false},  // central directory at 0xFFFFFFFE
        {0xFFFFFFFF - 2 * kEntry, false, true},   // central directory at 0xFFFFFFFF
        {0xFFFFFFFE - kEntry, false, true},       // second local header at 0xFFFFFFFE
        {0xFFFFFFFF - kEntry, true, true},        // second local header at 0xFFFFFFFF
        {1ull << 33, true, true},
    };
    for (const auto& c : cases) {
        MemorySink memory;
        test::OffsetSink sink(memory, c.base);
        ZipWriter writer(sink);
        MemorySource a, b;
        writer.Add(L"a", a);
        writer.Add(L"b", b);
        writer.Close();

        const ZipVerifyResult result = Verify(memory.bytes, c.base);
        ASSERT_TRUE(result.ok) << result.problem << " base " << c.base;
        EXPECT_EQ(result.zip64End, c.zip64End) << c.base;
        const bool firstZip64 = c.base >= 0xFFFFFFFF;
        EXPECT_EQ(result.entries[0].centralZip64, firstZip64) << c.base;
        EXPECT_EQ(result.entries[1].centralZip64, c.secondZip64) << c.base;
        EXPECT_EQ(result.entries[1].record.versionNeeded, c.secondZip64 ? 45 : 20) << c.base;
        EXPECT_EQ(result.entries[1].record.localHeaderOffset, c.base + kEntry);
        EXPECT_FALSE(result.entries[1].record.localZip64) << "sizes are small";
    }
}

TEST(ZipWriter, Zip64EndRecordFrom65535Entries) {
    MemorySink sink;
    ZipWriter writer(sink);
    for (int i = 0; i < 65535; ++i) {
        MemorySource empty;
        writer.Add(L"f" + std::to_wstring(i), empty);
    }
    writer.Close();

    const ZipVerifyResult result = Verify(sink.bytes);
    ASSERT_TRUE(result.ok) << result.problem;
    EXPECT_TRUE(result.zip64End);
    ASSERT_EQ(result.entries.size(), 65535u);
    EXPECT_EQ(result.entries.back().record.name, "f65534");
    const std::byte* end = sink.bytes.data() + sink.bytes.size() - zip::kEndSize;
    EXPECT_EQ(zip::Le16(end + 8), 0xFFFF);
    EXPECT_EQ(zip::Le16(end + 10), 0xFFFF);
    EXPECT_EQ(zip::Le32(end + 12), 0xFFFFFFFFu);
    EXPECT_EQ(zip::Le32(end + 16), 0xFFFFFFFFu);
}

void WriteTwoEntries(Sink& sink) {
    ZipWriter writer(sink);
    MemorySource big(Noise(40000));
    MemorySource small("hello");
    writer.Add(L"Morvane\\big.bin", big);
    writer.Add(L"Morvane\\small.txt", small);
    writer.Close();
}

TEST(ZipWriter, EveryFailedSinkCallIsAnError) {
    int failAt = 0;
    for (;; ++failAt) {
        test::FailingSink sink(failAt);
        try {
            WriteTwoEntries(sink);
        } catch (const ZipError&) {
            ASSERT_EQ(sink.calls(), failAt + 1) << "the writer went on after a failed call";
            continue;
        }
        EXPECT_EQ(sink.calls(), failAt) << "succeeded although call " << failAt << " failed";
        EXPECT_TRUE(Verify(sink.bytes).ok);
        break;
    }
    EXPECT_GT(failAt, 8) << "writes and seeks of both entries, the directory and the end were each failed";
}

TEST(ZipWriter, FailedReadIsAnErrorAndTheWriterStaysFailed) {
    for (int failReadAt : {0, 1, 3}) {
        MemorySink sink;
        ZipWriter writer(sink);
        MemorySource source(Noise(60000));
        source.failReadAt = failReadAt;
        EXPECT_THROW(writer.Add(L"Morvane\\a.bin", source), ZipError) << failReadAt;
        MemorySource next("x");
        EXPECT_THROW(writer.Add(L"Morvane\\b.txt", next), ZipError);
        EXPECT_THROW(writer.Close(), ZipError);
    }
}

TEST(ZipWriter, AddAfterCloseIsAnError) {
    MemorySink sink;
    ZipWriter writer(sink);
    writer.Close();
    MemorySource source("x");
    EXPECT_THROW(writer.Add(L"a", source), ZipError);
    EXPECT_TRUE(Verify(sink.bytes).ok) << "an empty archive is still an archive";
}

// Windows allows an unpaired surrogate in a file name; UTF-8 cannot hold it, and U+FFFD in its place
// would let two files become one entry.
TEST(ZipWriter, NamesThatUtf8CannotHoldAreRefused) {
    for (const std::wstring& bad : {std::wstring(L"Morvane\\a") + wchar_t(0xD800) + L".txt",
                                    std::wstring(L"Morvane\\") + wchar_t(0xDC00),
                                    std::wstring(L"Morvane\\b") + wchar_t(0xDFFF) + wchar_t(0xD800)}) {
        MemorySink sink;
        ZipWriter writer(sink);
        MemorySource source("x");
        EXPECT_THROW(writer.Add(bad, source), ZipError);
    }
    MemorySink sink;
    ZipWriter writer(sink);
    MemorySource source("x");
    writer.Add(L"Morvane\\\U0001F600.txt", source);  // a surrogate pair where wchar_t has 16 bits
    writer.Close();
    EXPECT_EQ(Verify(sink.bytes).entries.at(0).record.name, "Morvane\\\xF0\x9F\x98\x80.txt");
}

TEST(ZipWriter, EntryNamesMustBeRelativeAndPlain) {
    for (const char* bad :
         {"", "\\a", "/a", "a\\\\b", "a\\", "..\\a", "a\\..\\b", "..", "C:\\a", "C:a", "a:b"}) {
        EXPECT_THROW(CheckEntryName(bad), ZipError) << bad;
    }
    for (const char* good : {"Morvane\\a..b.txt", "Morvane\\.hidden", "a", "Morvane\\Sub\\...x"}) {
        EXPECT_NO_THROW(CheckEntryName(good)) << good;
    }
}

}  // namespace
}  // namespace mvn

// ZipVerify must refuse every archive that an extracting program would not restore exactly.
#include "backup/zip/zip_verify.h"

#include <functional>
#include <string>
#include <vector>

#include "backup/zip/zip_writer.h"
#include "gtest/gtest.h"
#include "zip_test_io.h"

namespace mvn {
namespace {

using test::MemoryArchive;
using test::MemorySink;
using test::MemorySource;
using Bytes = std::vector<std::byte>;

std::string Text(std::size_t n) {
    std::string out;
    for (std::size_t i = 0; out.size() < n; ++i) out += "Zeile " + std::to_string(i * 7919 % 1000) + "\n";
    out.resize(n);
    return out;
}

Bytes GoodArchive(Sink& sink, MemorySink& memory) {
    ZipWriter writer(sink);
    MemorySource empty, hello("hello"), text(Text(100000));
    writer.Add(L"Morvane\\leer.txt", empty);
    writer.Add(L"Morvane\\hello.txt", hello);
    writer.Add(L"Morvane\\Sub\\text.txt", text);
    writer.Close();
    return memory.bytes;
}

// Positions of the records in the good archive, as the writer laid them out.
struct Layout {
    std::size_t local[3];
    std::size_t data[3];
    std::size_t central[3];
    std::size_t end;
};

Layout LayoutOf(const Bytes& bytes) {
    Layout l{};
    const std::size_t names[3] = {16, 17, 20};
    const std::size_t sizes[3] = {2, 7, 0};
    l.end = bytes.size() - zip::kEndSize;
    std::size_t at = 0;
    for (int i = 0; i < 3; ++i) {
        l.local[i] = at;
        l.data[i] = at + 30 + names[i];
        at = i < 2 ? l.data[i] + sizes[i] : 0;
    }
    std::size_t cd = zip::Le32(bytes.data() + l.end + 16);
    for (int i = 0; i < 3; ++i) {
        l.central[i] = cd;
        cd += 46 + names[i];
    }
    return l;
}

void Increment32(Bytes& bytes, std::size_t at) {
    const std::uint32_t v = zip::Le32(bytes.data() + at) + 1;
    for (std::size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::byte>(v >> (8 * i) & 0xFF);
}

TEST(ZipVerify, AcceptsTheWritersArchive) {
    MemorySink sink;
    const Bytes bytes = GoodArchive(sink, sink);
    MemoryArchive archive(bytes);
    const ZipVerifyResult result = ZipVerify(archive);
    ASSERT_TRUE(result.ok) << result.problem;
    ASSERT_EQ(result.entries.size(), 3u);
    EXPECT_EQ(result.entries[2].record.name, "Morvane\\Sub\\text.txt");
    EXPECT_EQ(result.entries[2].record.uncompressedSize, 100000u);
}

// Runs of one byte inflate past the reader's 64 KiB output buffer from the last few input bytes,
// so zlib still holds output when it has taken all input.
TEST(ZipVerify, AcceptsEntriesThatInflatePastTheOutputBuffer) {
    for (const std::size_t size : {65535u, 65536u, 65537u, 65600u, 65800u, 200000u}) {
        MemorySink sink;
        {
            ZipWriter writer(sink);
            MemorySource run(std::string(size, 'a'));
            writer.Add(L"Morvane\\a.txt", run);
            writer.Close();
        }
        MemoryArchive archive(sink.bytes);
        const ZipVerifyResult result = ZipVerify(archive);
        EXPECT_TRUE(result.ok) << size << ": " << result.problem;
    }
}

TEST(ZipVerify, RejectsDamage) {
    MemorySink sink;
    const Bytes good = GoodArchive(sink, sink);
    const Layout l = LayoutOf(good);
    auto flip = [](std::size_t at) { return [at](Bytes& b) { b[at] ^= std::byte{0x01}; }; };
    const struct {
        const char* what;
        std::function<void(Bytes&)> damage;
    } cases[] = {
        {"CRC byte in the central directory", flip(l.central[1] + 16)},
        {"CRC byte in a local header", flip(l.local[1] + 14)},
        {"CRC in both headers", [&](Bytes& b) { flip(l.central[1] + 17)(b), flip(l.local[1] + 15)(b); }},
        {"a byte of deflate data", flip(l.data[2] + 40)},
        {"the empty entry's final block", flip(l.data[0])},
        {"uncompressed size in both headers",
         [&](Bytes& b) { flip(l.central[1] + 24)(b), flip(l.local[1] + 22)(b); }},
        {"compressed size in the central directory", flip(l.central[0] + 20)},
        {"uncompressed size in a local header only", flip(l.local[1] + 22)},
        {"local header signature", flip(l.local[0])},
        {"a letter of a local name", flip(l.local[1] + 30 + 9)},
        {"a letter of a central name", flip(l.central[2] + 46 + 9)},
        {"local header offset", flip(l.central[2] + 42)},
        {"version needed in one header", flip(l.local[2] + 4)},
        {"central directory offset", flip(l.end + 16)},
        {"entry count", [&](Bytes& b) { b[l.end + 8] = b[l.end + 10] = std::byte{2}; }},
        {"end signature", flip(l.end)},
        {"last byte cut", [](Bytes& b) { b.pop_back(); }},
        {"second half cut", [](Bytes& b) { b.resize(b.size() / 2); }},
        {"nothing left", [](Bytes& b) { b.clear(); }},
        {"a byte appended", [](Bytes& b) { b.push_back(std::byte{0}); }},
        {"a padding byte counted into the last entry's data",
         [&](Bytes& b) {
             b.insert(b.begin() + static_cast<std::ptrdiff_t>(l.central[0]), std::byte{0});
             for (std::size_t at : {l.local[2] + 18, l.central[2] + 1 + 20, l.end + 1 + 16})
                 Increment32(b, at);
         }},
    };
    for (const auto& c : cases) {
        Bytes bytes = good;
        c.damage(bytes);
        MemoryArchive archive(bytes);
        const ZipVerifyResult result = ZipVerify(archive);
        EXPECT_FALSE(result.ok) << c.what;
        EXPECT_FALSE(result.problem.empty()) << c.what;
    }
}

TEST(ZipVerify, RejectsDamagedZip64Records) {
    MemorySink memory;
    test::OffsetSink sink(memory, 0x100000000);
    const Bytes good = GoodArchive(sink, memory);
    const std::size_t locator = good.size() - zip::kEndSize - zip::kZip64LocatorSize;
    const std::size_t zip64End = locator - zip::kZip64EndSize;
    {
        MemoryArchive archive(good, 0x100000000);
        const ZipVerifyResult result = ZipVerify(archive, 0x100000000);
        ASSERT_TRUE(result.ok) << result.problem;
        ASSERT_TRUE(result.zip64End);
    }
    for (std::size_t at : {locator, locator + 8, zip64End, zip64End + 24, zip64End + 40, zip64End + 48}) {
        Bytes bytes = good;
        bytes[at] ^= std::byte{0x01};
        MemoryArchive archive(bytes, 0x100000000);
        EXPECT_FALSE(ZipVerify(archive, 0x100000000).ok) << "byte " << at - zip64End << " after Zip64 end";
    }
}

}  // namespace
}  // namespace mvn

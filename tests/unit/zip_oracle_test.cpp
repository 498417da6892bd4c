// Archives of the writer checked by readers we did not write: Python's zipfile, Info-ZIP unzip and
// libarchive's bsdtar. Native only; a missing tool marks the test skipped and the other readers still run.
#include "gtest/gtest.h"

#ifdef _WIN32

TEST(ZipOracle, RunsNativelyOnly) {
    GTEST_SKIP() << "the independent readers are Linux tools";
}

#else

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "backup/zip/archive_files.h"
#include "backup/zip/zip_verify.h"
#include "backup/zip/zip_writer.h"
#include "zip_test_io.h"

namespace mvn {
namespace {

namespace fs = std::filesystem;
using test::MemorySink;
using test::MemorySource;

struct CommandResult {
    int status = -1;
    std::string output;
};

CommandResult Shell(const std::string& command) {
    CommandResult run;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return run;
    std::array<char, 4096> buffer{};
    std::size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) run.output.append(buffer.data(), n);
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

bool Have(const std::string& tool) {
    return Shell("command -v " + tool + " >/dev/null").status == 0;
}

std::string Noise(std::size_t n) {
    std::mt19937 random(5);
    std::string out(n, '\0');
    for (char& c : out) c = static_cast<char>(random());
    return out;
}

class ZipOracle : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("mvn_zip_oracle_" + std::to_string(std::random_device{}()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    // Writes bytes base bytes into a new file; the bytes before stay a hole, so a file that is 4 GiB
    // long as readers see it takes a few kilobytes of disk.
    std::string Save(const std::string& name, const std::vector<std::byte>& bytes, std::uint64_t base = 0) {
        const fs::path path = dir_ / name;
        std::ofstream out(path, std::ios::binary);
        out.seekp(static_cast<std::streamoff>(base));
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        EXPECT_TRUE(out.good());
        return path.string();
    }

    // Python lists "flags method size name" per entry after testzip found every CRC correct.
    static void CheckWithPython(const std::string& path, const std::vector<std::string>& expected) {
        if (!Have("python3")) GTEST_SKIP() << "python3 missing";
        const CommandResult run = Shell(
            "python3 -c 'import sys, zipfile\n"
            "z = zipfile.ZipFile(sys.argv[1])\n"
            "bad = z.testzip()\n"
            "assert bad is None, bad\n"
            "sys.stdout.buffer.write(b\"\".join(b\"%d %d %d %s\\n\" % (i.flag_bits, i.compress_type, "
            "i.file_size,"
            " i.filename.encode()) for i in z.infolist()))' " +
            path);
        ASSERT_EQ(run.status, 0) << run.output;
        std::string lines;
        for (const std::string& line : expected) lines += line + "\n";
        EXPECT_EQ(run.output, lines);
    }

    static void CheckWithUnzip(const std::string& path) {
        if (!Have("unzip")) GTEST_SKIP() << "unzip missing";
        const CommandResult run = Shell("unzip -t " + path);
        // Exit code 1 is a warning; here the one about backslashes in names, which the format keeps.
        EXPECT_TRUE(run.status == 0 || run.status == 1) << run.output;
        EXPECT_NE(run.output.find("No errors detected"), std::string::npos) << run.output;
        EXPECT_EQ(run.output.find("bad CRC"), std::string::npos) << run.output;
    }

    static void CheckWithBsdtar(const std::string& path, std::size_t entries, const std::string& someName) {
        if (!Have("bsdtar")) GTEST_SKIP() << "bsdtar missing";
        const CommandResult run = Shell("LC_ALL=C.UTF-8 bsdtar -tf " + path);
        ASSERT_EQ(run.status, 0) << run.output.substr(0, 2000);
        EXPECT_EQ(static_cast<std::size_t>(std::count(run.output.begin(), run.output.end(), '\n')), entries);
        // libarchive shows the backslashes of a name from a FAT host as slashes.
        std::string shown = someName;
        std::replace(shown.begin(), shown.end(), '\\', '/');
        EXPECT_NE(run.output.find(shown), std::string::npos) << run.output.substr(0, 2000);
        const CommandResult extract = Shell("LC_ALL=C.UTF-8 bsdtar -xOf " + path + " >/dev/null");
        EXPECT_EQ(extract.status, 0) << extract.output.substr(0, 2000);
    }

    fs::path dir_;
};

TEST_F(ZipOracle, MixedEntries) {
    MemorySink sink;
    ZipWriter writer(sink);
    MemorySource empty, utf8("Zeugnis"), noise(Noise(200000)), text(std::string(300000, 't') + "end");
    writer.Add(L"Morvane\\leer.txt", empty);
    writer.Add(L"Morvane\\Zeugnis \u00e4\u20ac\U0001F600.txt", utf8);
    writer.Add(L"Morvane\\Sub\\noise.bin", noise);
    writer.Add(L"Morvane\\text.txt", text);
    writer.Close();
    const std::string path = Save("mixed.zip", sink.bytes);
    const std::string utf8Name = "Morvane\\Zeugnis \xc3\xa4\xe2\x82\xac\xf0\x9f\x98\x80.txt";

    CheckWithPython(path, {"2048 8 0 Morvane\\leer.txt", "2048 8 7 " + utf8Name,
                           "2048 8 200000 Morvane\\Sub\\noise.bin", "2048 8 300003 Morvane\\text.txt"});
    CheckWithUnzip(path);
    CheckWithBsdtar(path, 4, utf8Name);
}

TEST_F(ZipOracle, Zip64ByEntryCount) {
    MemorySink sink;
    ZipWriter writer(sink);
    std::vector<std::string> expected;
    for (int i = 0; i < 65536; ++i) {
        MemorySource source(i % 1000 == 0 ? "some data" : "");
        const std::string name = "Morvane\\f" + std::to_string(i);
        writer.Add(std::wstring(name.begin(), name.end()), source);
        expected.push_back("2048 8 " + std::to_string(source.Size()) + " " + name);
    }
    writer.Close();
    const std::string path = Save("count.zip", sink.bytes);

    CheckWithPython(path, expected);
    CheckWithUnzip(path);
    CheckWithBsdtar(path, 65536, "Morvane\\f65535");
}

TEST_F(ZipOracle, Zip64ByOffsetInASparseFile) {
    // The second local header lands exactly at 0xFFFFFFFF, the central directory past it.
    constexpr std::uint64_t kBase = 0xFFFFFFFF - (30 + 9 + 7);
    MemorySink memory;
    test::OffsetSink sink(memory, kBase);
    ZipWriter writer(sink);
    MemorySource first("hello"), second("world, again");
    writer.Add(L"Morvane\\1", first);
    writer.Add(L"Morvane\\2", second);
    writer.Close();
    const std::string path = Save("offset.zip", memory.bytes, kBase);

    // Readers that insist on a local header at offset 0 would complain about the hole; Python and
    // unzip go by the central directory, as the format intends.
    CheckWithPython(path, {"2048 8 5 Morvane\\1", "2048 8 12 Morvane\\2"});
    CheckWithUnzip(path);
}

// Opt-in (--gtest_also_run_disabled_tests): more than 4 GiB of zeros through the real file port, the
// true-size path of Zip64 that the seams above only imitate. About two minutes.
class Zeros final : public Source {
public:
    explicit Zeros(std::uint64_t size) : size_(size), left_(size) {}
    std::optional<std::size_t> Read(std::span<std::byte> buffer) override {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), left_));
        std::fill_n(buffer.begin(), n, std::byte{0});
        left_ -= n;
        return n;
    }
    std::uint64_t Size() const override { return size_; }
    LocalTime LastWriteTime() const override { return {2020, 1, 1, 0, 0, 0}; }
    std::uint32_t Attributes() const override { return 0x20; }

private:
    std::uint64_t size_;
    std::uint64_t left_;
};

TEST_F(ZipOracle, DISABLED_EntryLargerThanFourGiB) {
    const auto files = MakePosixArchiveFiles();
    const std::wstring path = (dir_ / "big.zip").wstring();
    {
        const auto sink = files->CreateArchive(path);
        ASSERT_NE(sink, nullptr);
        ZipWriter writer(*sink);
        Zeros zeros(0x100000000 + 12345);
        MemorySource after("after");
        writer.Add(L"Morvane\\zeros.bin", zeros);
        writer.Add(L"Morvane\\after.txt", after);
        writer.Close();
    }
    const auto reader = files->OpenArchive(path);
    const ZipVerifyResult result = ZipVerify(*reader);
    ASSERT_TRUE(result.ok) << result.problem;
    EXPECT_TRUE(result.entries[0].record.localZip64);
    EXPECT_TRUE(result.entries[0].centralZip64);
    CheckWithPython((dir_ / "big.zip").string(),
                    {"2048 8 4294979641 Morvane\\zeros.bin", "2048 8 5 Morvane\\after.txt"});
}

}  // namespace
}  // namespace mvn

#endif  // _WIN32

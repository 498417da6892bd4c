// The restore of an emptied installation directory: what comes back, and what a damaged archive or a
// failing disk leaves.
#include "backup/install_restore.h"

#include <gtest/gtest.h>

#include "backup/zip/zip_error.h"
#include "backup/zip/zip_writer.h"
#include "fakes.h"
#include "zip_test_io.h"

namespace mvn {
namespace {

using test::MemoryArchive;
using test::MemorySink;
using test::MemorySource;
using testing::FakePlatform;
using testing::PathKey;

const std::wstring kRoot = L"D:\\Apps\\";
const std::wstring kDir = L"D:\\Apps\\Morvane";

struct File {
    std::wstring name;  // entry name
    std::string content;
    LocalTime time;  // what goes into the archive's DOS fields
    std::uint32_t attributes;
    std::uint64_t ticks;  // what the walk listed: FILETIME, to 100 ns
};

std::string Big() {
    std::string out;
    for (int i = 0; out.size() < 300000; ++i) out += "Zeugnis " + std::to_string(i * 7919 % 100003) + "\n";
    return out;
}

// "hello world" and "hellO world" deflate to data of the same length, so swapping them gives an
// archive whose structure is sound and whose CRC-32 no longer fits.
const std::vector<File> kFiles = {
    {L"Morvane\\Sub\\Tief\\a.txt", "tief unten", {2023, 3, 4, 5, 6, 7}, 0x20, 133224291671234567},
    {L"Morvane\\Sub\\hello.txt", "hello world", {2024, 1, 2, 3, 4, 5}, 0x21, 133487294450000001},
    {L"Morvane\\Versteckt\\geheim.txt", Big(), {2019, 12, 31, 23, 59, 59}, 0x22, 132223103990000000},
    {L"Morvane\\leer.txt", "", {2020, 2, 29, 12, 0, 1}, 0x06, 132273792010000000},
    {L"Morvane\\Morvane9.EXE", "MZ", {2021, 6, 7, 8, 9, 10}, 0x20, 132675509500000000},
};

struct Archive {
    std::vector<std::byte> bytes;
    std::vector<zip::EntryRecord> entries;
};

Archive Write(const std::vector<File>& files) {
    MemorySink sink;
    ZipWriter writer(sink);
    for (const File& f : files) {
        MemorySource source(f.content, f.time, f.attributes);
        writer.Add(f.name, source);
    }
    writer.Close();
    return {sink.bytes, writer.Entries()};
}

// What the walk saw: exact times and attributes, and the folders, the empty and hidden ones too.
RestorePlan PlanOf(const Archive& archive, const std::vector<File>& files) {
    RestorePlan plan{kRoot, archive.entries, {}, {}};
    for (const File& f : files) plan.files.push_back({f.ticks, f.attributes});
    plan.folders = {{kDir + L"\\Leer", 0x10},
                    {kDir + L"\\Sub", 0x10},
                    {kDir + L"\\Sub\\Tief", 0x11},
                    {kDir + L"\\Versteckt", 0x12}};
    return plan;
}

struct Target {
    FakePlatform platform;
    Target() {
        platform.AddDir(kDir);
        platform.AddFile(kDir + L"\\MorvaneStart.ini", "put back by the step");
    }
    bool Has(const std::wstring& name) const { return platform.HasFile(kRoot + name); }
};

TEST(RestoreArchive, GivesBackTheWalkedTree) {
    const Archive archive = Write(kFiles);
    MemoryArchive source(archive.bytes);
    Target t;
    const RestoreOutcome outcome = RestoreArchive(source, PlanOf(archive, kFiles), t.platform);
    EXPECT_TRUE(outcome.complete) << outcome.problem;
    EXPECT_EQ(outcome.filesWritten, kFiles.size());
    for (const File& f : kFiles) {
        const std::wstring key = PathKey(kRoot + f.name);
        EXPECT_EQ(t.platform.files[key], f.content);
        EXPECT_EQ(t.platform.times[key], f.ticks) << "as listed, not the archive's two seconds";
        EXPECT_EQ(t.platform.attributes[key], f.attributes);
    }
    for (const auto& [folder, attributes] :
         {std::pair{L"\\Leer", 0u}, {L"\\Sub", 0u}, {L"\\Sub\\Tief", 1u}, {L"\\Versteckt", 2u}}) {
        EXPECT_TRUE(t.platform.DirectoryExists(kDir + folder)) << folder;
        EXPECT_EQ(t.platform.attributes[PathKey(kDir + folder)], attributes) << folder;
    }
}

TEST(RestoreArchive, AFileThatCannotBeWrittenIsLeftOutAndTheOthersFollow) {
    const Archive archive = Write(kFiles);
    MemoryArchive source(archive.bytes);
    Target t;
    t.platform.failWriteAt = 3;  // inside the large file, after three blocks of it
    const RestoreOutcome outcome = RestoreArchive(source, PlanOf(archive, kFiles), t.platform);
    EXPECT_FALSE(outcome.complete);
    EXPECT_EQ(outcome.filesWritten, kFiles.size() - 1);
    EXPECT_FALSE(t.Has(kFiles[2].name)) << "half a file would pass for the old one";
    for (const std::size_t i : {0u, 1u, 3u, 4u}) EXPECT_TRUE(t.Has(kFiles[i].name)) << i;

    Target unwritable;
    unwritable.platform.unwritableFiles.insert(PathKey(kRoot + kFiles[0].name));
    EXPECT_FALSE(RestoreArchive(source, PlanOf(archive, kFiles), unwritable.platform).complete);
    EXPECT_EQ(unwritable.platform.files.size(), kFiles.size());  // the four others and the start INI
}

TEST(RestoreArchive, ACrcMismatchStopsThereAndWritesNothingAfter) {
    Archive archive = Write(kFiles);
    std::vector<File> other = kFiles;
    other[1].content = "hellO world";
    const Archive swapped = Write(other);
    ASSERT_EQ(archive.entries[1].compressedSize, swapped.entries[1].compressedSize);
    const auto at = static_cast<std::ptrdiff_t>(archive.entries[1].localHeaderOffset + 30 +
                                                archive.entries[1].name.size());
    std::copy_n(swapped.bytes.begin() + at, archive.entries[1].compressedSize, archive.bytes.begin() + at);
    MemoryArchive source(archive.bytes);
    Target t;
    const RestoreOutcome outcome = RestoreArchive(source, PlanOf(archive, kFiles), t.platform);
    EXPECT_FALSE(outcome.complete);
    EXPECT_NE(outcome.problem.find("CRC-32 mismatch"), std::string::npos) << outcome.problem;
    EXPECT_TRUE(t.Has(kFiles[0].name));
    for (const std::size_t i : {1u, 2u, 3u, 4u}) EXPECT_FALSE(t.Has(kFiles[i].name)) << i;
    EXPECT_TRUE(t.platform.HasFile(kDir + L"\\MorvaneStart.ini")) << "nothing else is deleted";
}

TEST(RestoreArchive, AnArchiveOtherThanTheOneWrittenIsNotPutBack) {
    const Archive archive = Write(kFiles);
    const std::vector<File> fewer(kFiles.begin(), kFiles.end() - 1);
    const Archive written = Write(fewer);
    MemoryArchive source(archive.bytes);
    Target t;
    RestorePlan plan = PlanOf(written, fewer);
    plan.entries[0].crc ^= 1;
    EXPECT_FALSE(RestoreArchive(source, plan, t.platform).complete);
    EXPECT_EQ(t.platform.files.size(), 1u);

    Target shorter;
    EXPECT_FALSE(RestoreArchive(source, PlanOf(written, fewer), shorter.platform).complete)
        << "one entry more than written";
}

TEST(PlanFromWalk, TakesTimesAttributesAndFoldersFromTheWalk) {
    const Archive archive = Write(kFiles);
    WalkSnapshot walked = {{kDir + L"\\Leer", 0x10, 0, 1},
                           {kDir + L"\\Sub", 0x10, 0, 2},
                           {kDir + L"\\Sub\\Tief", 0x11, 0, 3},
                           {kDir + L"\\Versteckt", 0x12, 0, 4},
                           {kDir + L"\\MVNUpdaterP2_10.exe", 0x20, 9, 5}};
    for (const File& f : kFiles) walked.push_back({kRoot + f.name, f.attributes, f.content.size(), f.ticks});
    const RestorePlan plan = PlanFromWalk(kRoot, archive.entries, walked);
    ASSERT_EQ(plan.files.size(), kFiles.size());
    for (std::size_t i = 0; i < kFiles.size(); ++i) {
        EXPECT_EQ(plan.files[i].lastWrite, kFiles[i].ticks) << i;
        EXPECT_EQ(plan.files[i].attributes, kFiles[i].attributes) << i;
    }
    std::vector<std::wstring> folders;
    for (const RestoreFolder& f : plan.folders) folders.push_back(f.path);
    EXPECT_EQ(folders, (std::vector<std::wstring>{kDir + L"\\Leer", kDir + L"\\Sub", kDir + L"\\Sub\\Tief",
                                                  kDir + L"\\Versteckt"}));
    walked.pop_back();
    EXPECT_THROW(PlanFromWalk(kRoot, archive.entries, walked), ZipError) << "an entry the walk did not see";
}

}  // namespace
}  // namespace mvn

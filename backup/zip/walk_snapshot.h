#pragma once
// What the walk of the installation directory saw: every folder and file it listed, with what the
// listing told about it. The archive step compares a second walk with it before it deletes
// anything, and what was deleted can be laid out again from it.
#include <cstdint>
#include <string>
#include <vector>

namespace mvn {

struct WalkedEntry {
    std::wstring path;             // full path, as listed
    std::uint32_t attributes = 0;  // Windows attribute bits; folders carry kAttributeDirectory
    std::uint64_t size = 0;        // bytes; 0 for folders
    std::uint64_t lastWrite = 0;   // the listing's last-write time (FILETIME ticks, UTC, on Windows)
};

using WalkSnapshot = std::vector<WalkedEntry>;

// The same folders and files in the same order, with the same attributes, and the files with the same
// sizes and last-write times. A folder's own time is not compared: file systems differ in when they
// move it, and what happens inside a folder shows in its files.
bool SameWalk(const WalkSnapshot& before, const WalkSnapshot& now);

}  // namespace mvn

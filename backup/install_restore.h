#pragma once
// Puts an emptied installation directory back from the archive that proved it. The entries are read
// through the same check that proved the archive (inflated, size and CRC-32 compared while each file
// is written) and streamed, so memory does not depend on the size of a file.
#include <cstdint>
#include <string>
#include <vector>

#include "backup/zip/walk_snapshot.h"
#include "backup/zip/zip_format.h"
#include "backup/zip/zip_io.h"
#include "platform/platform.h"

namespace mvn {

// A folder below the installation directory as the walk saw it; full path, no trailing backslash.
struct RestoreFolder {
    std::wstring path;
    std::uint32_t attributes = 0;
};

// A file's last-write time and attributes as the walk read them.
struct RestoreFile {
    std::uint64_t lastWrite = 0;  // FILETIME ticks, UTC
    std::uint32_t attributes = 0;
};

struct RestorePlan {
    std::wstring nameRoot;  // entry names are appended to it; ends with a backslash
    // The entries the archive must hold, in order: an archive that holds others is not put back.
    std::vector<zip::EntryRecord> entries;
    // One per entry, in the same order.
    std::vector<RestoreFile> files;
    // Parents before their children; the empty ones and those without entries included.
    std::vector<RestoreFolder> folders;
};

struct RestoreOutcome {
    bool complete = false;  // every folder and every file is back with its time and attributes
    std::size_t filesWritten = 0;
    std::string problem;  // the first thing that went wrong, for diagnostics; UTF-8
};

// Creates the missing folders, writes every entry back to nameRoot + its name, then gives the folders
// their attributes. A file that cannot be written is left out and the others follow; an entry that does
// not read back intact stops the restore there, and the file it was writing is removed again, since
// half a file would pass for the old one. Nothing else is deleted.
RestoreOutcome RestoreArchive(RandomAccessSource& archive, const RestorePlan& plan, Platform& platform);

// The plan from what the walk that went into the archive saw: each entry's time and attributes, found by
// its full path, and every folder in walk order. The archive's own DOS times hold two seconds at best
// and no folder at all. Throws ZipError for an entry that the walk did not see.
RestorePlan PlanFromWalk(const std::wstring& nameRoot, const std::vector<zip::EntryRecord>& entries,
                         const WalkSnapshot& walked);

}  // namespace mvn

#pragma once
// Reads a finished archive back as the proof that it can be extracted: end records (Zip64 included),
// the central directory, every local header against it, and every entry inflated and compared with
// its size and CRC-32. It accepts exactly the layout ZipWriter produces: entries back to back from the
// start, the central directory right after them, no archive comment.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "backup/zip/zip_format.h"
#include "backup/zip/zip_io.h"

namespace mvn {

struct ZipEntryInfo {
    zip::EntryRecord record;  // as the central directory gives it, localZip64 from the local header
    std::uint16_t versionMadeBy = 0;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    bool centralZip64 = false;
};

struct ZipVerifyResult {
    bool ok = false;
    std::string problem;  // the first problem found; empty when ok
    bool zip64End = false;
    std::vector<ZipEntryInfo> entries;
};

// Takes each entry's content as the check inflates it, one entry after the other in archive order, so
// that what is extracted has passed exactly the checks that proved the archive.
class ZipEntryReceiver {
public:
    virtual ~ZipEntryReceiver() = default;
    virtual void Begin(const ZipEntryInfo& entry) = 0;
    virtual void Data(std::span<const std::byte> bytes) = 0;
    // The entry inflated to its size and CRC-32. An entry that fails gets no End: the check stops there.
    virtual void End() = 0;
};

// start is where the first local header lies: 0 for a file, higher only for a test that shifts offsets.
// A receiver, when given, gets every entry's content while it is checked.
ZipVerifyResult ZipVerify(RandomAccessSource& archive, std::uint64_t start = 0,
                          ZipEntryReceiver* receiver = nullptr);

}  // namespace mvn

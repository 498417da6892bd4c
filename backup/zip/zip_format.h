#pragma once
// The byte layout of the installation archive (PKWARE APPNOTE): the fixed field values, the Zip64
// decisions and pure encoders of its records. Writer and tests share these; nothing here does I/O.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "backup/zip/zip_io.h"

namespace mvn::zip {

inline constexpr std::uint32_t kLocalHeaderSignature = 0x04034b50;
inline constexpr std::uint32_t kCentralHeaderSignature = 0x02014b50;
inline constexpr std::uint32_t kEndSignature = 0x06054b50;
inline constexpr std::uint32_t kZip64EndSignature = 0x06064b50;
inline constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;

inline constexpr std::size_t kLocalHeaderSize = 30;  // without name and extra field
inline constexpr std::size_t kCentralHeaderSize = 46;
inline constexpr std::size_t kEndSize = 22;
inline constexpr std::size_t kZip64EndSize = 56;
inline constexpr std::size_t kZip64LocatorSize = 20;
inline constexpr std::uint16_t kZip64ExtraId = 0x0001;

inline constexpr std::uint16_t kVersionMadeBy = 20;  // host 0 (FAT), APPNOTE 2.0
inline constexpr std::uint16_t kVersionNeeded = 20;
inline constexpr std::uint16_t kVersionNeededZip64 = 45;
inline constexpr std::uint16_t kFlagUtf8Name = 0x0800;
inline constexpr std::uint16_t kMethodDeflate = 8;
inline constexpr std::uint32_t kExternalAttributeMask = 0x7BF7;

// A value that reaches a classic field's maximum is stored as that maximum plus a Zip64 copy, since
// readers take the maximum itself as "look in the Zip64 record".
inline constexpr std::uint64_t kMax32 = 0xFFFFFFFF;
inline constexpr std::uint64_t kMax16 = 0xFFFF;

struct DosDateTime {
    std::uint16_t time = 0;
    std::uint16_t date = 0;
    bool operator==(const DosDateTime&) const = default;
};

// 0/0 outside 1980..2107, the years a DOS date can hold; seconds are halved, rounding down.
DosDateTime ToDosDateTime(const LocalTime& time);

// zlib's deflateBound for raw deflate with window 15 and memory level 8, in 64 bits: zlib's own takes
// and returns uLong, which is 32 bits on Windows and wraps just where the answer matters.
std::uint64_t DeflateBound64(std::uint64_t size);

// A header rewritten in place cannot grow, so the local header's Zip64 field is decided before any data:
// when the size or the worst-case compressed size reaches the 32-bit maximum.
bool LocalHeaderNeedsZip64(std::uint64_t uncompressedSize);
bool EndNeedsZip64(std::uint64_t entryCount, std::uint64_t centralOffset, std::uint64_t centralSize);

// Everything both headers of one entry say about it.
struct EntryRecord {
    std::string name;  // UTF-8, backslashes kept
    std::uint16_t versionNeeded = kVersionNeeded;
    DosDateTime modified;
    std::uint32_t crc = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
    std::uint32_t externalAttributes = 0;
    std::uint64_t localHeaderOffset = 0;
    bool localZip64 = false;  // the local header carries both sizes in a Zip64 field
};

bool CentralNeedsZip64(const EntryRecord& entry);
// 45 when either header of the entry carries a Zip64 field, which is known before its data is written.
std::uint16_t VersionNeededFor(bool localZip64, std::uint64_t localHeaderOffset);

using Bytes = std::vector<std::byte>;

// The encoders append one record each. They throw ZipError for a name longer than a 16-bit length.
void AppendLocalHeader(Bytes& out, const EntryRecord& entry);
void AppendCentralHeader(Bytes& out, const EntryRecord& entry);
// The Zip64 end record and locator when EndNeedsZip64, then the end record.
void AppendEndRecords(Bytes& out, std::uint64_t entryCount, std::uint64_t centralOffset,
                      std::uint64_t centralSize);

// Little-endian field access for the readers of these records.
std::uint16_t Le16(const std::byte* p);
std::uint32_t Le32(const std::byte* p);
std::uint64_t Le64(const std::byte* p);

}  // namespace mvn::zip

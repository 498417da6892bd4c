#include "backup/zip/zip_format.h"

#include "backup/zip/zip_error.h"

namespace mvn::zip {

namespace {

void Put16(Bytes& out, std::uint64_t v) {
    for (int i = 0; i < 2; ++i) out.push_back(static_cast<std::byte>(v >> (8 * i) & 0xFF));
}
void Put32(Bytes& out, std::uint64_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::byte>(v >> (8 * i) & 0xFF));
}
void Put64(Bytes& out, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<std::byte>(v >> (8 * i) & 0xFF));
}
void PutName(Bytes& out, const std::string& name) {
    for (char c : name) out.push_back(static_cast<std::byte>(c));
}

std::uint64_t Classic32(std::uint64_t v) {
    return v >= kMax32 ? kMax32 : v;
}

std::uint16_t NameLength(const std::string& name) {
    if (name.size() > kMax16) throw ZipError("entry name longer than 65535 bytes: " + name.substr(0, 200));
    return static_cast<std::uint16_t>(name.size());
}

}  // namespace

DosDateTime ToDosDateTime(const LocalTime& t) {
    if (t.year < 1980 || t.year > 2107) return {};
    auto u = [](int v) { return static_cast<unsigned>(v); };
    return {static_cast<std::uint16_t>(u(t.hour) << 11 | u(t.minute) << 5 | u(t.second) / 2),
            static_cast<std::uint16_t>(u(t.year - 1980) << 9 | u(t.month) << 5 | u(t.day))};
}

std::uint64_t DeflateBound64(std::uint64_t size) {
    return size + (size >> 12) + (size >> 14) + (size >> 25) + 7;
}

bool LocalHeaderNeedsZip64(std::uint64_t uncompressedSize) {
    return uncompressedSize >= kMax32 || DeflateBound64(uncompressedSize) >= kMax32;
}

bool EndNeedsZip64(std::uint64_t entryCount, std::uint64_t centralOffset, std::uint64_t centralSize) {
    return entryCount >= kMax16 || centralOffset >= kMax32 || centralSize >= kMax32;
}

bool CentralNeedsZip64(const EntryRecord& e) {
    return e.uncompressedSize >= kMax32 || e.compressedSize >= kMax32 || e.localHeaderOffset >= kMax32;
}

std::uint16_t VersionNeededFor(bool localZip64, std::uint64_t localHeaderOffset) {
    return localZip64 || localHeaderOffset >= kMax32 ? kVersionNeededZip64 : kVersionNeeded;
}

void AppendLocalHeader(Bytes& out, const EntryRecord& e) {
    const std::uint16_t nameLength = NameLength(e.name);
    Put32(out, kLocalHeaderSignature);
    Put16(out, e.versionNeeded);
    Put16(out, kFlagUtf8Name);
    Put16(out, kMethodDeflate);
    Put16(out, e.modified.time);
    Put16(out, e.modified.date);
    Put32(out, e.crc);
    Put32(out, e.localZip64 ? kMax32 : e.compressedSize);
    Put32(out, e.localZip64 ? kMax32 : e.uncompressedSize);
    Put16(out, nameLength);
    Put16(out, e.localZip64 ? 20 : 0);
    PutName(out, e.name);
    if (e.localZip64) {
        Put16(out, kZip64ExtraId);
        Put16(out, 16);
        Put64(out, e.uncompressedSize);
        Put64(out, e.compressedSize);
    }
}

void AppendCentralHeader(Bytes& out, const EntryRecord& e) {
    const std::uint16_t nameLength = NameLength(e.name);
    Bytes zip64;
    for (std::uint64_t v : {e.uncompressedSize, e.compressedSize, e.localHeaderOffset}) {
        if (v >= kMax32) Put64(zip64, v);
    }
    Put32(out, kCentralHeaderSignature);
    Put16(out, kVersionMadeBy);
    Put16(out, e.versionNeeded);
    Put16(out, kFlagUtf8Name);
    Put16(out, kMethodDeflate);
    Put16(out, e.modified.time);
    Put16(out, e.modified.date);
    Put32(out, e.crc);
    Put32(out, Classic32(e.compressedSize));
    Put32(out, Classic32(e.uncompressedSize));
    Put16(out, nameLength);
    Put16(out, zip64.empty() ? 0 : 4 + zip64.size());
    Put16(out, 0);  // comment length
    Put16(out, 0);  // disk number start
    Put16(out, 0);  // internal attributes
    Put32(out, e.externalAttributes & kExternalAttributeMask);
    Put32(out, Classic32(e.localHeaderOffset));
    PutName(out, e.name);
    if (!zip64.empty()) {
        Put16(out, kZip64ExtraId);
        Put16(out, zip64.size());
        out.insert(out.end(), zip64.begin(), zip64.end());
    }
}

void AppendEndRecords(Bytes& out, std::uint64_t entryCount, std::uint64_t centralOffset,
                      std::uint64_t centralSize) {
    const bool zip64 = EndNeedsZip64(entryCount, centralOffset, centralSize);
    if (zip64) {
        const std::uint64_t zip64EndOffset = centralOffset + centralSize;
        Put32(out, kZip64EndSignature);
        Put64(out, kZip64EndSize - 12);   // the record's size counts neither signature nor this field
        Put16(out, kVersionNeededZip64);  // version made by
        Put16(out, kVersionNeededZip64);
        Put32(out, 0);  // this disk
        Put32(out, 0);  // disk of the central directory
        Put64(out, entryCount);
        Put64(out, entryCount);
        Put64(out, centralSize);
        Put64(out, centralOffset);
        Put32(out, kZip64LocatorSignature);
        Put32(out, 0);  // disk of the Zip64 end record
        Put64(out, zip64EndOffset);
        Put32(out, 1);  // total number of disks
    }
    Put32(out, kEndSignature);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, zip64 ? kMax16 : entryCount);
    Put16(out, zip64 ? kMax16 : entryCount);
    Put32(out, zip64 ? kMax32 : centralSize);
    Put32(out, zip64 ? kMax32 : centralOffset);
    Put16(out, 0);  // comment length
}

std::uint16_t Le16(const std::byte* p) {
    return static_cast<std::uint16_t>(std::to_integer<unsigned>(p[0]) | std::to_integer<unsigned>(p[1]) << 8);
}
std::uint32_t Le32(const std::byte* p) {
    return static_cast<std::uint32_t>(Le16(p)) | static_cast<std::uint32_t>(Le16(p + 2)) << 16;
}
std::uint64_t Le64(const std::byte* p) {
    return static_cast<std::uint64_t>(Le32(p)) | static_cast<std::uint64_t>(Le32(p + 4)) << 32;
}

}  // namespace mvn::zip

#include "backup/zip/zip_verify.h"

#include <algorithm>
#include <array>
#include <zlib.h>

#include "backup/zip/zip_error.h"

namespace mvn {

namespace {

using zip::Le16;
using zip::Le32;
using zip::Le64;

constexpr std::size_t kChunk = 65536;

// The failures of one check; ZipVerify turns the first into its problem text.
struct Bad : ZipError {
    using ZipError::ZipError;
};

void Require(bool condition, const std::string& problem) {
    if (!condition) throw Bad(problem);
}

// Sequential reads from a range of the archive through one buffer, for the central directory.
class RangeReader {
public:
    RangeReader(RandomAccessSource& source, std::uint64_t begin, std::uint64_t end)
        : source_(source), next_(begin), end_(end), buffer_(kChunk) {}

    void Read(std::byte* out, std::size_t n) {
        while (n > 0) {
            if (used_ == filled_) Fill();
            const std::size_t take = std::min(n, filled_ - used_);
            std::copy_n(buffer_.data() + used_, take, out);
            used_ += take, out += take, n -= take;
        }
    }
    std::string ReadText(std::size_t n) {
        std::string text(n, '\0');
        Read(reinterpret_cast<std::byte*>(text.data()), n);
        return text;
    }
    bool AtEnd() const { return used_ == filled_ && next_ == end_; }

private:
    void Fill() {
        Require(next_ < end_, "central directory ends inside a record");
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, end_ - next_));
        Require(source_.ReadAt(next_, std::span(buffer_).first(n)), "cannot read the central directory");
        next_ += n, used_ = 0, filled_ = n;
    }

    RandomAccessSource& source_;
    std::uint64_t next_;
    std::uint64_t end_;
    std::vector<std::byte> buffer_;
    std::size_t used_ = 0;
    std::size_t filled_ = 0;
};

template <std::size_t N>
std::array<std::byte, N> ReadFixed(RandomAccessSource& source, std::uint64_t offset,
                                   const std::string& what) {
    std::array<std::byte, N> bytes{};
    Require(offset <= source.Size() && N <= source.Size() - offset && source.ReadAt(offset, bytes),
            "cannot read the " + what);
    return bytes;
}

struct CentralDirectory {
    std::uint64_t entryCount = 0;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    std::uint64_t end = 0;  // where the records after it begin
    bool zip64 = false;
};

CentralDirectory ReadEndRecords(RandomAccessSource& source, std::uint64_t start) {
    const std::uint64_t size = source.Size();
    Require(size >= start + zip::kEndSize, "too short for an end record");
    const std::uint64_t endOffset = size - zip::kEndSize;
    const auto end = ReadFixed<zip::kEndSize>(source, endOffset, "end record");
    Require(Le32(end.data()) == zip::kEndSignature, "no end record at the end (truncated?)");
    Require(Le16(end.data() + 4) == 0 && Le16(end.data() + 6) == 0, "end record names another disk");
    Require(Le16(end.data() + 8) == Le16(end.data() + 10), "end record entry counts differ");
    Require(Le16(end.data() + 20) == 0, "archive has a comment");

    CentralDirectory cd{Le16(end.data() + 10), Le32(end.data() + 16), Le32(end.data() + 12), endOffset,
                        false};
    const bool marked = cd.entryCount == zip::kMax16 || cd.offset == zip::kMax32 || cd.size == zip::kMax32;
    const std::uint64_t before = zip::kZip64LocatorSize + zip::kZip64EndSize;
    bool located = false;
    if (endOffset >= start + before) {
        const auto locator =
            ReadFixed<zip::kZip64LocatorSize>(source, endOffset - zip::kZip64LocatorSize, "Zip64 locator");
        located = Le32(locator.data()) == zip::kZip64LocatorSignature;
        if (located) {
            Require(Le32(locator.data() + 4) == 0 && Le32(locator.data() + 16) == 1,
                    "Zip64 locator names another disk");
            const std::uint64_t zip64Offset = Le64(locator.data() + 8);
            Require(zip64Offset == endOffset - before, "Zip64 end record is not right before its locator");
            const auto z = ReadFixed<zip::kZip64EndSize>(source, zip64Offset, "Zip64 end record");
            Require(Le32(z.data()) == zip::kZip64EndSignature, "bad Zip64 end record signature");
            Require(Le64(z.data() + 4) == zip::kZip64EndSize - 12, "bad Zip64 end record size");
            Require(Le32(z.data() + 16) == 0 && Le32(z.data() + 20) == 0,
                    "Zip64 end record names another disk");
            Require(Le64(z.data() + 24) == Le64(z.data() + 32), "Zip64 entry counts differ");
            const CentralDirectory wide{Le64(z.data() + 32), Le64(z.data() + 48), Le64(z.data() + 40),
                                        zip64Offset, true};
            Require((cd.entryCount == zip::kMax16 || cd.entryCount == wide.entryCount) &&
                        (cd.offset == zip::kMax32 || cd.offset == wide.offset) &&
                        (cd.size == zip::kMax32 || cd.size == wide.size),
                    "end record and Zip64 end record disagree");
            cd = wide;
        }
    }
    Require(located || !marked, "end record points to Zip64 records that are missing");
    Require(cd.offset >= start && cd.offset <= cd.end && cd.size == cd.end - cd.offset,
            "central directory does not end where the end records begin");
    return cd;
}

// Values of the classic fields that hold the 32-bit maximum come from the Zip64 field, in APPNOTE order.
void ApplyZip64Extra(const std::string& extra, std::initializer_list<std::uint64_t*> fields, bool& found) {
    found = false;
    std::size_t i = 0;
    while (i + 4 <= extra.size()) {
        const auto* p = reinterpret_cast<const std::byte*>(extra.data() + i);
        const std::size_t length = Le16(p + 2);
        Require(i + 4 + length <= extra.size(), "extra field overruns its length");
        if (Le16(p) == zip::kZip64ExtraId) {
            found = true;
            std::size_t at = 4;
            for (std::uint64_t* field : fields) {
                if (*field != zip::kMax32) continue;
                Require(at + 8 <= 4 + length, "Zip64 field too short");
                *field = Le64(p + at);
                at += 8;
            }
        }
        i += 4 + length;
    }
    Require(i == extra.size(), "extra field overruns its length");
    for (std::uint64_t* field : fields) Require(found || *field != zip::kMax32, "Zip64 field missing");
}

ZipEntryInfo ReadCentralHeader(RangeReader& reader) {
    std::array<std::byte, zip::kCentralHeaderSize> h{};
    reader.Read(h.data(), h.size());
    Require(Le32(h.data()) == zip::kCentralHeaderSignature, "bad central header signature");
    ZipEntryInfo info;
    zip::EntryRecord& e = info.record;
    info.versionMadeBy = Le16(h.data() + 4);
    e.versionNeeded = Le16(h.data() + 6);
    info.flags = Le16(h.data() + 8);
    info.method = Le16(h.data() + 10);
    e.modified = {Le16(h.data() + 12), Le16(h.data() + 14)};
    e.crc = Le32(h.data() + 16);
    e.compressedSize = Le32(h.data() + 20);
    e.uncompressedSize = Le32(h.data() + 24);
    const std::size_t nameLength = Le16(h.data() + 28);
    const std::size_t extraLength = Le16(h.data() + 30);
    const std::size_t commentLength = Le16(h.data() + 32);
    Require(Le16(h.data() + 34) == 0, "entry starts on another disk");
    e.externalAttributes = Le32(h.data() + 38);
    e.localHeaderOffset = Le32(h.data() + 42);
    e.name = reader.ReadText(nameLength);
    const std::string extra = reader.ReadText(extraLength);
    reader.ReadText(commentLength);
    ApplyZip64Extra(extra, {&e.uncompressedSize, &e.compressedSize, &e.localHeaderOffset}, info.centralZip64);
    Require(info.method == zip::kMethodDeflate, "entry is not deflated: " + e.name);
    Require((info.flags & 0x0009) == 0, "entry is encrypted or has a data descriptor: " + e.name);
    return info;
}

// Checks the local header against the central one; returns where the entry's data begins.
std::uint64_t CheckLocalHeader(RandomAccessSource& source, ZipEntryInfo& info) {
    zip::EntryRecord& e = info.record;
    const std::string where = ": " + e.name;
    const auto h = ReadFixed<zip::kLocalHeaderSize>(source, e.localHeaderOffset, "local header" + where);
    Require(Le32(h.data()) == zip::kLocalHeaderSignature, "bad local header signature" + where);
    Require(Le16(h.data() + 4) == e.versionNeeded && Le16(h.data() + 6) == info.flags &&
                Le16(h.data() + 8) == info.method && Le16(h.data() + 10) == e.modified.time &&
                Le16(h.data() + 12) == e.modified.date && Le32(h.data() + 14) == e.crc,
            "local header disagrees with the central directory" + where);
    std::uint64_t compressed = Le32(h.data() + 18);
    std::uint64_t uncompressed = Le32(h.data() + 22);
    const std::size_t nameLength = Le16(h.data() + 26);
    const std::size_t extraLength = Le16(h.data() + 28);
    const std::uint64_t variable = e.localHeaderOffset + zip::kLocalHeaderSize;
    Require(nameLength + extraLength <= source.Size() - variable,
            "local header overruns the archive" + where);
    std::string name(nameLength, '\0');
    std::string extra(extraLength, '\0');
    Require(source.ReadAt(variable, std::as_writable_bytes(std::span(name))) &&
                source.ReadAt(variable + nameLength, std::as_writable_bytes(std::span(extra))),
            "cannot read the local header" + where);
    Require(name == e.name, "local header names another entry" + where);
    ApplyZip64Extra(extra, {&uncompressed, &compressed}, e.localZip64);
    Require(compressed == e.compressedSize && uncompressed == e.uncompressedSize,
            "local header sizes disagree with the central directory" + where);
    return variable + nameLength + extraLength;
}

class InflateStream {
public:
    InflateStream() {
        if (inflateInit2(&z_, -15) != Z_OK) throw Bad("inflateInit2 failed");
    }
    InflateStream(const InflateStream&) = delete;
    InflateStream& operator=(const InflateStream&) = delete;
    ~InflateStream() { inflateEnd(&z_); }
    z_stream* get() { return &z_; }

private:
    z_stream z_{};
};

void CheckData(RandomAccessSource& source, std::uint64_t dataStart, const zip::EntryRecord& e,
               std::vector<std::byte>& in, std::vector<std::byte>& out, ZipEntryReceiver* receiver) {
    const std::string where = ": " + e.name;
    InflateStream stream;
    z_stream* z = stream.get();
    std::uint64_t next = dataStart;
    std::uint64_t remaining = e.compressedSize;
    std::uint64_t produced = 0;
    uLong crc = crc32(0, nullptr, 0);
    int result = Z_OK;
    // A full output buffer may leave output inside zlib with all input taken; ask for more
    // input only once zlib has had room to hand that over.
    bool outputPending = false;
    while (result != Z_STREAM_END) {
        if (z->avail_in == 0 && !outputPending) {
            Require(remaining > 0, "deflate stream ends early" + where);
            const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(in.size(), remaining));
            Require(source.ReadAt(next, std::span(in).first(n)), "cannot read entry data" + where);
            next += n, remaining -= n;
            z->next_in = reinterpret_cast<Bytef*>(in.data());
            z->avail_in = static_cast<uInt>(n);
        }
        z->next_out = reinterpret_cast<Bytef*>(out.data());
        z->avail_out = static_cast<uInt>(out.size());
        result = inflate(z, Z_NO_FLUSH);
        // Z_BUF_ERROR: nothing was pending after all, so the next round reads input.
        const bool noProgress = result == Z_BUF_ERROR && z->avail_in == 0;
        Require(result == Z_OK || result == Z_STREAM_END || noProgress, "corrupt deflate data" + where);
        outputPending = result == Z_OK && z->avail_out == 0;
        const auto got = static_cast<uInt>(out.size() - z->avail_out);
        crc = crc32(crc, reinterpret_cast<const Bytef*>(out.data()), got);
        produced += got;
        Require(produced <= e.uncompressedSize, "entry inflates to more than its size" + where);
        if (receiver && got > 0) receiver->Data(std::span(out).first(got));
    }
    Require(z->avail_in == 0 && remaining == 0, "data after the end of the deflate stream" + where);
    Require(produced == e.uncompressedSize, "entry inflates to less than its size" + where);
    Require(static_cast<std::uint32_t>(crc) == e.crc, "CRC-32 mismatch" + where);
}

}  // namespace

ZipVerifyResult ZipVerify(RandomAccessSource& archive, std::uint64_t start, ZipEntryReceiver* receiver) {
    ZipVerifyResult result;
    try {
        const CentralDirectory cd = ReadEndRecords(archive, start);
        result.zip64End = cd.zip64;
        RangeReader reader(archive, cd.offset, cd.end);
        for (std::uint64_t i = 0; i < cd.entryCount; ++i) result.entries.push_back(ReadCentralHeader(reader));
        Require(reader.AtEnd(), "central directory holds more than its entries");

        std::vector<std::byte> in(kChunk);
        std::vector<std::byte> out(kChunk);
        std::uint64_t expectedOffset = start;
        for (ZipEntryInfo& info : result.entries) {
            Require(info.record.localHeaderOffset == expectedOffset,
                    "entries are not back to back: " + info.record.name);
            const std::uint64_t dataStart = CheckLocalHeader(archive, info);
            Require(dataStart <= cd.offset && info.record.compressedSize <= cd.offset - dataStart,
                    "entry data overruns the central directory: " + info.record.name);
            if (receiver) receiver->Begin(info);
            CheckData(archive, dataStart, info.record, in, out, receiver);
            if (receiver) receiver->End();
            expectedOffset = dataStart + info.record.compressedSize;
        }
        Require(expectedOffset == cd.offset, "gap before the central directory");
        result.ok = true;
    } catch (const ZipError& e) {
        result.problem = e.what();
    }
    return result;
}

}  // namespace mvn

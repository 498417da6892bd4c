#include "backup/zip/zip_writer.h"

#include <zlib.h>

#include "backup/zip/utf8.h"
#include "backup/zip/zip_error.h"

namespace mvn {

namespace {

constexpr std::size_t kBlockSize = 16384;
// Compressed output is collected up to this size before it is written: fewer, larger writes.
constexpr std::size_t kOutputSize = 262144;

// Deflate parameters of the archive format; -15 selects raw deflate, which method 8 requires.
constexpr int kWindowBits = -15;
constexpr int kMemoryLevel = 8;

class DeflateStream {
public:
    DeflateStream() {
        if (deflateInit2(&z_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kWindowBits, kMemoryLevel,
                         Z_DEFAULT_STRATEGY) != Z_OK) {
            throw ZipError("deflateInit2 failed");
        }
    }
    DeflateStream(const DeflateStream&) = delete;
    DeflateStream& operator=(const DeflateStream&) = delete;
    ~DeflateStream() { deflateEnd(&z_); }
    z_stream* get() { return &z_; }

private:
    z_stream z_{};
};

}  // namespace

void CheckEntryName(const std::string& name) {
    if (name.empty()) throw ZipError("empty entry name");
    std::size_t start = 0;
    while (true) {
        const std::size_t end = name.find_first_of("\\/", start);
        const std::string component = name.substr(start, end == std::string::npos ? end : end - start);
        if (component.empty() || component == ".." || component.find(':') != std::string::npos) {
            throw ZipError("entry name not relative and plain: " + name);
        }
        if (end == std::string::npos) return;
        start = end + 1;
    }
}

ZipWriter::ZipWriter(Sink& sink) : sink_(sink), position_(sink.Tell()), in_(kBlockSize), out_(kOutputSize) {}

void ZipWriter::RequireWriting() const {
    if (state_ != State::Writing) throw ZipError("archive is closed or failed earlier");
}

void ZipWriter::Write(std::span<const std::byte> data) {
    if (!sink_.Write(data)) throw ZipError("cannot write the archive");
    position_ += data.size();
}

void ZipWriter::SeekTo(std::uint64_t position) {
    if (!sink_.Seek(position)) throw ZipError("cannot seek in the archive");
    position_ = position;
}

void ZipWriter::Add(const std::wstring& name, Source& source) {
    RequireWriting();
    state_ = State::Failed;  // until this entry is complete

    // An altered name would be restored under another name, and two of them could become one entry.
    if (!zip::IsUnicodeText(name))
        throw ZipError("entry name cannot be stored as UTF-8: " + zip::ToUtf8(name));
    zip::EntryRecord entry;
    entry.name = zip::ToUtf8(name);
    CheckEntryName(entry.name);
    entry.uncompressedSize = source.Size();
    entry.localZip64 = zip::LocalHeaderNeedsZip64(entry.uncompressedSize);
    entry.localHeaderOffset = position_;
    entry.versionNeeded = zip::VersionNeededFor(entry.localZip64, position_);
    entry.modified = zip::ToDosDateTime(source.LastWriteTime());
    entry.externalAttributes = source.Attributes();

    header_.clear();
    zip::AppendLocalHeader(header_, entry);
    const std::size_t headerSize = header_.size();
    Write(header_);

    const std::uint64_t dataStart = position_;
    Deflate(source, entry);
    entry.compressedSize = position_ - dataStart;
    if (!entry.localZip64 && (entry.uncompressedSize >= zip::kMax32 || entry.compressedSize >= zip::kMax32)) {
        throw ZipError("file grew past the size its local header was written for: " + entry.name);
    }

    header_.clear();
    zip::AppendLocalHeader(header_, entry);
    if (header_.size() != headerSize) throw ZipError("local header changed size: " + entry.name);
    const std::uint64_t dataEnd = position_;
    SeekTo(entry.localHeaderOffset);
    Write(header_);
    SeekTo(dataEnd);

    entries_.push_back(std::move(entry));
    state_ = State::Writing;
}

void ZipWriter::Deflate(Source& source, zip::EntryRecord& entry) {
    DeflateStream stream;
    z_stream* z = stream.get();
    std::uint64_t total = 0;  // zlib's total_in is a 32-bit uLong on Windows
    uLong crc = crc32(0, nullptr, 0);

    std::size_t filled = 0;  // bytes of out_ waiting to be written
    auto drain = [&](int flush) {
        int result = Z_OK;
        do {
            z->next_out = reinterpret_cast<Bytef*>(out_.data() + filled);
            z->avail_out = static_cast<uInt>(out_.size() - filled);
            result = deflate(z, flush);
            // Z_BUF_ERROR only says that a full output buffer left nothing more to do.
            if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) {
                throw ZipError("deflate failed: " + entry.name);
            }
            filled = out_.size() - z->avail_out;
            if (filled == out_.size()) {
                Write(out_);
                filled = 0;
            }
        } while (flush == Z_FINISH ? result != Z_STREAM_END : z->avail_out == 0);
    };

    while (true) {
        const std::optional<std::size_t> got = source.Read(in_);
        if (!got) throw ZipError("cannot read " + entry.name);
        if (*got == 0) break;
        const auto length = static_cast<uInt>(*got);
        crc = crc32(crc, reinterpret_cast<const Bytef*>(in_.data()), length);
        total += length;
        z->next_in = reinterpret_cast<Bytef*>(in_.data());
        z->avail_in = length;
        drain(Z_NO_FLUSH);
    }
    drain(Z_FINISH);
    Write(std::span(out_).first(filled));
    entry.crc = static_cast<std::uint32_t>(crc);
    entry.uncompressedSize = total;
}

void ZipWriter::Close() {
    RequireWriting();
    state_ = State::Failed;
    const std::uint64_t centralOffset = position_;
    zip::Bytes buffer;
    for (const zip::EntryRecord& entry : entries_) {
        zip::AppendCentralHeader(buffer, entry);
        if (buffer.size() >= kOutputSize) {
            Write(buffer);
            buffer.clear();
        }
    }
    Write(buffer);
    buffer.clear();
    zip::AppendEndRecords(buffer, entries_.size(), centralOffset, position_ - centralOffset);
    Write(buffer);
    state_ = State::Closed;
}

}  // namespace mvn

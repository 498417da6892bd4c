#pragma once
// Streams files into a ZIP archive over a seekable sink: local header, raw deflate data, then the
// header again with the final sizes and CRC; Close adds the central directory and the end records.
// Memory use depends on the number of entries, never on the size of a file.
#include <cstdint>
#include <string>
#include <vector>

#include "backup/zip/zip_format.h"
#include "backup/zip/zip_io.h"

namespace mvn {

class ZipWriter {
public:
    // The first local header goes at the sink's current position.
    explicit ZipWriter(Sink& sink);
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // Adds the whole content of source under name (backslashes kept, stored as UTF-8). Throws ZipError;
    // after a failure the archive is unusable and every further call throws too.
    void Add(const std::wstring& name, Source& source);
    // Writes the central directory and the end records. Throws ZipError.
    void Close();

    std::uint64_t EntryCount() const { return entries_.size(); }
    // The entries written so far, as their central directory records give them.
    const std::vector<zip::EntryRecord>& Entries() const { return entries_; }

private:
    enum class State { Writing, Closed, Failed };

    void RequireWriting() const;
    void Write(std::span<const std::byte> data);
    void SeekTo(std::uint64_t position);
    void Deflate(Source& source, zip::EntryRecord& entry);

    Sink& sink_;
    std::uint64_t position_;
    State state_ = State::Writing;
    std::vector<zip::EntryRecord> entries_;
    zip::Bytes header_;
    std::vector<std::byte> in_;
    std::vector<std::byte> out_;
};

// Rejects what no extracting program should be given: an empty name or component, a leading
// separator, a drive letter or a ".." component. Throws ZipError.
void CheckEntryName(const std::string& utf8Name);

}  // namespace mvn

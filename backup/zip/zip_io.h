#pragma once
// The byte streams the ZIP code works on. Format code sees only these, never a path or a handle, so the
// same writer and verifier run over Win32 files, POSIX files and memory.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace mvn {

// A last-write time already converted to local time, as the DOS fields of an entry need it.
struct LocalTime {
    int year = 0;
    int month = 0;  // 1..12
    int day = 0;    // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// Seekable output: the writer goes back into each local header once the sizes and CRC are known.
class Sink {
public:
    virtual ~Sink() = default;
    // Writes all bytes at the current position or fails; a short write is a failure.
    [[nodiscard]] virtual bool Write(std::span<const std::byte> data) = 0;
    virtual std::uint64_t Tell() const = 0;
    [[nodiscard]] virtual bool Seek(std::uint64_t position) = 0;
    // Puts what was written beyond a later failure (the file's buffers on disk, the handle closed)
    // and reports whether that went well; nothing may be written afterwards. A sink in memory has
    // nothing to put.
    [[nodiscard]] virtual bool Commit() { return true; }
};

// One file to be archived, read front to back once.
class Source {
public:
    virtual ~Source() = default;
    // Fills up to buffer.size() bytes; 0 at the end of the data, nullopt on a read error.
    [[nodiscard]] virtual std::optional<std::size_t> Read(std::span<std::byte> buffer) = 0;
    // The size before reading; it decides Zip64 for the local header before any data is written.
    virtual std::uint64_t Size() const = 0;
    virtual LocalTime LastWriteTime() const = 0;
    virtual std::uint32_t Attributes() const = 0;  // Windows file attribute bits
};

// A finished archive read back at arbitrary offsets.
class RandomAccessSource {
public:
    virtual ~RandomAccessSource() = default;
    // Reads exactly buffer.size() bytes at offset or fails.
    [[nodiscard]] virtual bool ReadAt(std::uint64_t offset, std::span<std::byte> buffer) = 0;
    virtual std::uint64_t Size() const = 0;
};

}  // namespace mvn

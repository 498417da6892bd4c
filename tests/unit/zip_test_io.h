#pragma once
// In-memory streams for the ZIP tests, and the seams that inject failures and high offsets.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "backup/zip/zip_io.h"

namespace mvn::test {

inline std::vector<std::byte> BytesOf(std::string_view text) {
    const auto* p = reinterpret_cast<const std::byte*>(text.data());
    return {p, p + text.size()};
}

// "50 4b 03 04" as bytes; spaces are for the reader.
inline std::vector<std::byte> Hex(std::string_view hex) {
    std::vector<std::byte> out;
    for (std::size_t i = 0; i + 1 < hex.size();) {
        if (hex[i] == ' ') {
            ++i;
            continue;
        }
        out.push_back(static_cast<std::byte>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
        i += 2;
    }
    return out;
}

inline std::vector<std::byte> Concat(std::initializer_list<std::vector<std::byte>> parts) {
    std::vector<std::byte> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

class MemorySink : public Sink {
public:
    bool Write(std::span<const std::byte> data) override {
        if (position_ + data.size() > bytes.size()) bytes.resize(position_ + data.size());
        std::copy(data.begin(), data.end(), bytes.begin() + static_cast<std::ptrdiff_t>(position_));
        position_ += data.size();
        return true;
    }
    std::uint64_t Tell() const override { return position_; }
    bool Seek(std::uint64_t position) override {
        if (position > bytes.size()) return false;
        position_ = static_cast<std::size_t>(position);
        return true;
    }

    std::vector<std::byte> bytes;

private:
    std::size_t position_ = 0;
};

// Fails the call numbered failAt (0-based) among all writes and seeks, and every call after it, as a
// full disk would.
class FailingSink final : public MemorySink {
public:
    explicit FailingSink(int failAt) : failAt_(failAt) {}
    bool Write(std::span<const std::byte> data) override { return Next() && MemorySink::Write(data); }
    bool Seek(std::uint64_t position) override { return Next() && MemorySink::Seek(position); }
    int calls() const { return calls_; }

private:
    bool Next() { return calls_++ < failAt_; }
    int failAt_;
    int calls_ = 0;
};

// Makes the writer believe that base bytes precede what it writes. Zip64 by offset needs a local header
// or a central directory at or past 4 GiB; writing 4 GiB in a unit test would take a minute and the disk
// space, while only the offsets matter to the format. The bytes below base are never written or read.
class OffsetSink final : public Sink {
public:
    OffsetSink(Sink& inner, std::uint64_t base) : inner_(inner), base_(base) {}
    bool Write(std::span<const std::byte> data) override { return inner_.Write(data); }
    std::uint64_t Tell() const override { return base_ + inner_.Tell(); }
    bool Seek(std::uint64_t position) override { return position >= base_ && inner_.Seek(position - base_); }

private:
    Sink& inner_;
    std::uint64_t base_;
};

class MemoryArchive final : public RandomAccessSource {
public:
    explicit MemoryArchive(std::vector<std::byte> bytes, std::uint64_t base = 0)
        : bytes_(std::move(bytes)), base_(base) {}
    bool ReadAt(std::uint64_t offset, std::span<std::byte> buffer) override {
        if (offset < base_ || offset - base_ > bytes_.size() ||
            buffer.size() > bytes_.size() - (offset - base_)) {
            return false;
        }
        std::memcpy(buffer.data(), bytes_.data() + (offset - base_), buffer.size());
        return true;
    }
    std::uint64_t Size() const override { return base_ + bytes_.size(); }

private:
    std::vector<std::byte> bytes_;
    std::uint64_t base_;
};

// A file in memory. reportedSize may lie about the content, as the size of a file that changes while
// it is read does; readLimit makes reads short; failReadAt fails that read (0-based).
class MemorySource final : public Source {
public:
    explicit MemorySource(std::string_view content = {}, LocalTime time = {2024, 5, 17, 14, 30, 42},
                          std::uint32_t attributes = 0x20)
        : content_(BytesOf(content)), time_(time), attributes_(attributes), reportedSize(content_.size()) {}

    std::optional<std::size_t> Read(std::span<std::byte> buffer) override {
        if (reads_++ == failReadAt) return std::nullopt;
        const std::size_t n = std::min({buffer.size(), content_.size() - next_, readLimit});
        std::copy_n(content_.begin() + static_cast<std::ptrdiff_t>(next_), n, buffer.begin());
        next_ += n;
        return n;
    }
    std::uint64_t Size() const override { return reportedSize; }
    LocalTime LastWriteTime() const override { return time_; }
    std::uint32_t Attributes() const override { return attributes_; }

private:
    std::vector<std::byte> content_;
    LocalTime time_;
    std::uint32_t attributes_;
    std::size_t next_ = 0;
    int reads_ = 0;

public:
    std::uint64_t reportedSize;
    std::size_t readLimit = SIZE_MAX;
    int failReadAt = -1;
};

}  // namespace mvn::test

// The archive's file port over Win32. UTF-16 at every call; each handle is owned by one RAII object.
#include <windows.h>

#include <utility>

#include "backup/zip/archive_files.h"

namespace mvn {

namespace {

template <BOOL(WINAPI* Close)(HANDLE)>
class Handle {
public:
    explicit Handle(HANDLE h) : h_(h) {}
    Handle(Handle&& other) noexcept : h_(std::exchange(other.h_, INVALID_HANDLE_VALUE)) {}
    Handle& operator=(Handle&&) = delete;
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (h_ != INVALID_HANDLE_VALUE) Close(h_);
    }
    HANDLE get() const { return h_; }
    HANDLE release() { return std::exchange(h_, INVALID_HANDLE_VALUE); }
    explicit operator bool() const { return h_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE h_;
};

using File = Handle<&::CloseHandle>;
using Find = Handle<&::FindClose>;

constexpr DWORD kMaxChunk = 1u << 20;

DWORD ChunkOf(std::size_t n) {
    return n < kMaxChunk ? static_cast<DWORD>(n) : kMaxChunk;
}

std::uint64_t Join(DWORD high, DWORD low) {
    return static_cast<std::uint64_t>(high) << 32 | low;
}

bool SeekFile(HANDLE h, std::uint64_t position) {
    LARGE_INTEGER to{};
    to.QuadPart = static_cast<LONGLONG>(position);
    return ::SetFilePointerEx(h, to, nullptr, FILE_BEGIN) != 0;
}

class Win32FileSource final : public Source {
public:
    Win32FileSource(File file, std::uint64_t size, LocalTime time, std::uint32_t attributes)
        : file_(std::move(file)), size_(size), time_(time), attributes_(attributes) {}

    std::optional<std::size_t> Read(std::span<std::byte> buffer) override {
        DWORD got = 0;
        if (!::ReadFile(file_.get(), buffer.data(), ChunkOf(buffer.size()), &got, nullptr))
            return std::nullopt;
        return got;
    }
    std::uint64_t Size() const override { return size_; }
    LocalTime LastWriteTime() const override { return time_; }
    std::uint32_t Attributes() const override { return attributes_; }

private:
    File file_;
    std::uint64_t size_;
    LocalTime time_;
    std::uint32_t attributes_;
};

class Win32FileSink final : public Sink {
public:
    explicit Win32FileSink(File file) : file_(std::move(file)) {}

    bool Write(std::span<const std::byte> data) override {
        while (!data.empty()) {
            DWORD put = 0;
            if (!::WriteFile(file_.get(), data.data(), ChunkOf(data.size()), &put, nullptr) || put == 0) {
                return false;
            }
            data = data.subspan(put);
            position_ += put;
        }
        return true;
    }
    std::uint64_t Tell() const override { return position_; }
    bool Seek(std::uint64_t position) override {
        if (!SeekFile(file_.get(), position)) return false;
        position_ = position;
        return true;
    }
    // The directory is emptied on the strength of this archive: a write error that the cache
    // would only report later has to show now.
    bool Commit() override {
        const bool flushed = ::FlushFileBuffers(file_.get()) != 0;
        const HANDLE h = file_.release();
        const bool closed = h != INVALID_HANDLE_VALUE && ::CloseHandle(h) != 0;
        return flushed && closed;
    }

private:
    File file_;
    std::uint64_t position_ = 0;
};

class Win32ArchiveReader final : public RandomAccessSource {
public:
    Win32ArchiveReader(File file, std::uint64_t size) : file_(std::move(file)), size_(size) {}

    bool ReadAt(std::uint64_t offset, std::span<std::byte> buffer) override {
        if (!SeekFile(file_.get(), offset)) return false;
        while (!buffer.empty()) {
            DWORD got = 0;
            if (!::ReadFile(file_.get(), buffer.data(), ChunkOf(buffer.size()), &got, nullptr) || got == 0) {
                return false;
            }
            buffer = buffer.subspan(got);
        }
        return true;
    }
    std::uint64_t Size() const override { return size_; }

private:
    File file_;
    std::uint64_t size_;
};

class Win32ArchiveFiles final : public ArchiveFiles {
public:
    std::optional<std::vector<DirEntry>> List(const std::wstring& pattern) override {
        WIN32_FIND_DATAW data{};
        const Find find(::FindFirstFileW(pattern.c_str(), &data));
        std::vector<DirEntry> entries;
        if (!find) {
            // A pattern that matches nothing in a readable directory is an empty listing, not a failure.
            if (::GetLastError() == ERROR_FILE_NOT_FOUND) return entries;
            return std::nullopt;
        }
        do {
            entries.push_back(
                {data.cFileName, data.dwFileAttributes, Join(data.nFileSizeHigh, data.nFileSizeLow),
                 Join(data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime)});
        } while (::FindNextFileW(find.get(), &data));
        if (::GetLastError() != ERROR_NO_MORE_FILES) return std::nullopt;
        return entries;
    }

    std::unique_ptr<Source> OpenFile(const std::wstring& path) override {
        // Other readers only: a file that someone holds open for writing cannot be opened, so no
        // half-written file goes into the archive.
        File file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!file) return nullptr;
        // Not GetFileInformationByHandle: it also reads the volume's serial number, which under Wine
        // costs ten times these two calls together, per file.
        FILE_BASIC_INFO basic{};
        LARGE_INTEGER size{};
        if (!::GetFileInformationByHandleEx(file.get(), FileBasicInfo, &basic, sizeof basic) ||
            !::GetFileSizeEx(file.get(), &size)) {
            return nullptr;
        }
        FILETIME written{};
        written.dwLowDateTime = basic.LastWriteTime.LowPart;
        written.dwHighDateTime = static_cast<DWORD>(basic.LastWriteTime.HighPart);
        FILETIME local{};
        SYSTEMTIME time{};
        if (!::FileTimeToLocalFileTime(&written, &local) || !::FileTimeToSystemTime(&local, &time))
            return nullptr;
        const LocalTime lastWrite{time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond};
        return std::make_unique<Win32FileSource>(std::move(file), static_cast<std::uint64_t>(size.QuadPart),
                                                 lastWrite, basic.FileAttributes);
    }

    std::unique_ptr<Sink> CreateArchive(const std::wstring& path) override {
        // Read access too, so that the handle serves the writer's seeks back; no sharing while it grows.
        File file(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return nullptr;
        return std::make_unique<Win32FileSink>(std::move(file));
    }

    std::unique_ptr<RandomAccessSource> OpenArchive(const std::wstring& path) override {
        File file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return nullptr;
        LARGE_INTEGER size{};
        if (!::GetFileSizeEx(file.get(), &size)) return nullptr;
        return std::make_unique<Win32ArchiveReader>(std::move(file),
                                                    static_cast<std::uint64_t>(size.QuadPart));
    }
};

}  // namespace

std::unique_ptr<ArchiveFiles> MakeWin32ArchiveFiles() {
    return std::make_unique<Win32ArchiveFiles>();
}

}  // namespace mvn

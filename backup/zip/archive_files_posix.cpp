// The archive's file port over POSIX, for the native tool and tests. Windows paths arrive with
// backslashes; they become '/' here and nowhere else.
#include <algorithm>
#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "backup/zip/archive_files.h"
#include "backup/zip/utf8.h"

namespace mvn {

namespace {

std::string NativePath(const std::wstring& path) {
    std::string native = zip::ToUtf8(path);
    std::replace(native.begin(), native.end(), '\\', '/');
    return native;
}

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&&) = delete;
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }
    explicit operator bool() const { return fd_ >= 0; }

private:
    int fd_;
};

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

std::uint32_t AttributesOf(const struct stat& st) {
    std::uint32_t attributes = S_ISDIR(st.st_mode) ? kAttributeDirectory : kAttributeArchive;
    if ((st.st_mode & S_IWUSR) == 0) attributes |= kAttributeReadOnly;
    return attributes;
}

// The FILETIME scale: 100-nanosecond ticks since 1601.
std::uint64_t TicksOf(const timespec& t) {
    constexpr std::uint64_t kTicksFrom1601To1970 = 116444736000000000ull;
    return kTicksFrom1601To1970 + static_cast<std::uint64_t>(t.tv_sec) * 10000000u +
           static_cast<std::uint64_t>(t.tv_nsec) / 100u;
}

// NTFS and Wine list a directory sorted by the upper-cased name.
bool ListsBefore(const std::wstring& a, const std::wstring& b) {
    auto upper = [](wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; };
    const auto [ia, ib] = std::mismatch(a.begin(), a.end(), b.begin(), b.end(),
                                        [&](wchar_t x, wchar_t y) { return upper(x) == upper(y); });
    if (ia == a.end() || ib == b.end()) return a.size() != b.size() ? a.size() < b.size() : a < b;
    return upper(*ia) < upper(*ib);
}

class PosixFileSource final : public Source {
public:
    PosixFileSource(Fd fd, std::uint64_t size, LocalTime time, std::uint32_t attributes)
        : fd_(std::move(fd)), size_(size), time_(time), attributes_(attributes) {}

    std::optional<std::size_t> Read(std::span<std::byte> buffer) override {
        while (true) {
            const ssize_t got = ::read(fd_.get(), buffer.data(), buffer.size());
            if (got >= 0) return static_cast<std::size_t>(got);
            if (errno != EINTR) return std::nullopt;
        }
    }
    std::uint64_t Size() const override { return size_; }
    LocalTime LastWriteTime() const override { return time_; }
    std::uint32_t Attributes() const override { return attributes_; }

private:
    Fd fd_;
    std::uint64_t size_;
    LocalTime time_;
    std::uint32_t attributes_;
};

class PosixFileSink final : public Sink {
public:
    explicit PosixFileSink(Fd fd) : fd_(std::move(fd)) {}

    bool Write(std::span<const std::byte> data) override {
        while (!data.empty()) {
            const ssize_t put = ::write(fd_.get(), data.data(), data.size());
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) return false;
            data = data.subspan(static_cast<std::size_t>(put));
            position_ += static_cast<std::uint64_t>(put);
        }
        return true;
    }
    std::uint64_t Tell() const override { return position_; }
    bool Seek(std::uint64_t position) override {
        if (::lseek(fd_.get(), static_cast<off_t>(position), SEEK_SET) < 0) return false;
        position_ = position;
        return true;
    }
    // A close that fails reports a write error the kernel held back. No fsync: nothing natively
    // deletes the archived files, and the benchmark compares with tools that do not sync either.
    bool Commit() override {
        const int fd = fd_.release();
        return fd >= 0 && ::close(fd) == 0;
    }

private:
    Fd fd_;
    std::uint64_t position_ = 0;
};

class PosixArchiveReader final : public RandomAccessSource {
public:
    PosixArchiveReader(Fd fd, std::uint64_t size) : fd_(std::move(fd)), size_(size) {}

    bool ReadAt(std::uint64_t offset, std::span<std::byte> buffer) override {
        while (!buffer.empty()) {
            const ssize_t got = ::pread(fd_.get(), buffer.data(), buffer.size(), static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) return false;
            buffer = buffer.subspan(static_cast<std::size_t>(got));
            offset += static_cast<std::uint64_t>(got);
        }
        return true;
    }
    std::uint64_t Size() const override { return size_; }

private:
    Fd fd_;
    std::uint64_t size_;
};

class PosixArchiveFiles final : public ArchiveFiles {
public:
    std::optional<std::vector<DirEntry>> List(const std::wstring& pattern) override {
        const std::size_t slash = pattern.rfind(L'\\');
        const std::wstring mask = pattern.substr(slash == std::wstring::npos ? 0 : slash + 1);
        if (mask != L"*.*" && mask != L"*") return std::nullopt;  // the walk needs no other
        const std::string dir = slash == std::wstring::npos ? "." : NativePath(pattern.substr(0, slash + 1));
        const std::unique_ptr<DIR, DirCloser> handle(::opendir(dir.c_str()));
        if (!handle) return std::nullopt;
        std::vector<DirEntry> entries;
        while (true) {
            errno = 0;
            const dirent* found = ::readdir(handle.get());
            if (!found) {
                if (errno != 0) return std::nullopt;
                break;
            }
            struct stat st {};
            if (::stat((dir + "/" + found->d_name).c_str(), &st) != 0) return std::nullopt;
            entries.push_back({zip::FromUtf8(found->d_name), AttributesOf(st),
                               static_cast<std::uint64_t>(st.st_size), TicksOf(st.st_mtim)});
        }
        std::sort(entries.begin(), entries.end(),
                  [](const DirEntry& a, const DirEntry& b) { return ListsBefore(a.name, b.name); });
        return entries;
    }

    std::unique_ptr<Source> OpenFile(const std::wstring& path) override {
        Fd fd(::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC));
        if (!fd) return nullptr;
        struct stat st {};
        if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
        struct tm local {};
        if (!::localtime_r(&st.st_mtime, &local)) return nullptr;
        const LocalTime time{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                             local.tm_hour,        local.tm_min,     local.tm_sec};
        ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
        return std::make_unique<PosixFileSource>(std::move(fd), static_cast<std::uint64_t>(st.st_size), time,
                                                 AttributesOf(st));
    }

    std::unique_ptr<Sink> CreateArchive(const std::wstring& path) override {
        Fd fd(::open(NativePath(path).c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (!fd) return nullptr;
        return std::make_unique<PosixFileSink>(std::move(fd));
    }

    std::unique_ptr<RandomAccessSource> OpenArchive(const std::wstring& path) override {
        Fd fd(::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC));
        if (!fd) return nullptr;
        struct stat st {};
        if (::fstat(fd.get(), &st) != 0) return nullptr;
        return std::make_unique<PosixArchiveReader>(std::move(fd), static_cast<std::uint64_t>(st.st_size));
    }
};

}  // namespace

std::unique_ptr<ArchiveFiles> MakePosixArchiveFiles() {
    return std::make_unique<PosixArchiveFiles>();
}

}  // namespace mvn

#pragma once
// The few file operations the archive step needs, as a port: Win32 in the program, POSIX in the native
// tool, fakes in tests. Paths are Windows paths with backslashes in every implementation.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "backup/zip/zip_io.h"

namespace mvn {

inline constexpr std::uint32_t kAttributeReadOnly = 0x1;
inline constexpr std::uint32_t kAttributeHidden = 0x2;
inline constexpr std::uint32_t kAttributeSystem = 0x4;
inline constexpr std::uint32_t kAttributeDirectory = 0x10;
inline constexpr std::uint32_t kAttributeArchive = 0x20;

struct DirEntry {
    std::wstring name;  // as listed, without the directory
    std::uint32_t attributes = 0;
    std::uint64_t size = 0;       // bytes, for files
    std::uint64_t lastWrite = 0;  // FILETIME ticks (UTC) on Windows, the same scale elsewhere
};

class ArchiveFiles {
public:
    virtual ~ArchiveFiles() = default;
    // Every entry a pattern such as dir + "*.*" matches, "." and ".." included where the file system
    // lists them, in the file system's order. An empty list when nothing matches; nullopt when the
    // directory cannot be read.
    virtual std::optional<std::vector<DirEntry>> List(const std::wstring& pattern) = 0;
    // Opened for reading with sharing for other readers only, with its size, local last-write time and
    // attributes; nullptr when any of them cannot be had.
    virtual std::unique_ptr<Source> OpenFile(const std::wstring& path) = 0;
    // A new empty archive file, replacing one of the same name, not shared while open; nullptr on failure.
    virtual std::unique_ptr<Sink> CreateArchive(const std::wstring& path) = 0;
    // The archive opened for reading back; nullptr on failure.
    virtual std::unique_ptr<RandomAccessSource> OpenArchive(const std::wstring& path) = 0;
};

// Defined in archive_files_win.cpp, in the Windows build only.
std::unique_ptr<ArchiveFiles> MakeWin32ArchiveFiles();
// Defined in archive_files_posix.cpp, in the native build only: backslashes become '/', attributes
// come from the mode, listings are sorted as Windows sorts names.
std::unique_ptr<ArchiveFiles> MakePosixArchiveFiles();

}  // namespace mvn

#pragma once
// The Windows operations the steps need, as one small port. platform/win32_platform_win.cpp
// implements it over Win32; native tests use a fake. No <windows.h> here.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace mvn {

// The four 16-bit halves of the product version words of a file's fixed version information.
using ProductVersion = std::array<std::uint16_t, 4>;

struct RegistryString {
    bool keyOpened = false;
    std::wstring value;  // empty when the value is missing or not a string
};

// What SHFileOperationW reports: its result, and its fAnyOperationsAborted flag. The result of a
// copy can be 0 when the user pressed "Abbrechen" in the shell's progress window or skipped a file
// that is in use; only the flag tells then that the copy is incomplete.
struct ShellResult {
    int code = 0;
    bool anyOperationsAborted = false;
};

struct DateTimeTexts {
    std::wstring date;  // short date of the user's regional settings
    std::wstring time;  // long time of the user's regional settings
};

// A file being written anew, front to back.
class FileWriter {
public:
    virtual ~FileWriter() = default;
    // Writes all bytes or fails; a short write is a failure.
    [[nodiscard]] virtual bool Write(std::span<const std::byte> data) = 0;
    // Sets the last-write time (FILETIME ticks, UTC, as a listing gives them) and closes the file;
    // false when either failed. A writer dropped without Finish closes its file as it is.
    [[nodiscard]] virtual bool Finish(std::uint64_t lastWrite) = 0;
};

class Platform {
public:
    virtual ~Platform() = default;

    // Files and folders.
    virtual bool FileExists(const std::wstring& path) = 0;  // true for files only
    virtual bool DirectoryExists(const std::wstring& path) = 0;
    virtual bool CreateSingleDirectory(const std::wstring& path) = 0;  // CreateDirectoryW, one level
    // Copies with CopyFileExW and flags 0, so an existing target is replaced.
    virtual bool CopyFileReplacing(const std::wstring& from, const std::wstring& to) = 0;
    // A new empty file at path, not shared while open. A file of that name is replaced, its
    // read-only, hidden and system attributes cleared first. nullptr on failure.
    virtual std::unique_ptr<FileWriter> CreateFileForWriting(const std::wstring& path) = 0;
    // SetFileAttributesW: the Windows attribute bits of a file or folder.
    virtual bool SetAttributes(const std::wstring& path, std::uint32_t attributes) = 0;
    // DeleteFileW: one file, for good.
    virtual bool DeleteSingleFile(const std::wstring& path) = 0;
    // Clears the read-only, hidden and system attributes of an existing file, which would make
    // replacing it fail with access denied. True when there is no such file or nothing to clear.
    virtual bool MakeReplaceable(const std::wstring& path) = 0;

    // Private-profile (INI) files. A missing file, section or key reads as empty.
    virtual std::wstring ReadIniString(const std::wstring& file, const std::wstring& section,
                                       const std::wstring& key) = 0;
    virtual bool WriteIniString(const std::wstring& file, const std::wstring& section,
                                const std::wstring& key, const std::wstring& value) = 0;
    virtual void FlushIni(const std::wstring& file) = 0;

    // A string value below HKEY_LOCAL_MACHINE, opened read-only; use64BitView adds KEY_WOW64_64KEY.
    virtual RegistryString ReadMachineString(const std::wstring& key, const std::wstring& value,
                                             bool use64BitView) = 0;
    // Raises StepError("IsWow64: bad process handle") when IsWow64Process fails.
    virtual bool IsWow64() = 0;
    // The Shell Folders value of that name in the 32-bit view; raises StepError for a non-string type.
    virtual std::wstring GetFileFolderPathFromRegistry(const std::wstring& valueName) = 0;
    virtual std::wstring GetShellFolder(int csidl) = 0;
    virtual std::optional<ProductVersion> ReadProductVersion(const std::wstring& path) = 0;

    // Shell operations.
    virtual ShellResult CopyFolder(const std::wstring& sourceFolder, const std::wstring& targetFolder) = 0;
    virtual bool DeleteFiles(const std::wstring& pattern) = 0;

    virtual std::wstring TempPath() = 0;
    virtual std::wstring ModuleFileName() = 0;
    // The absolute form of a path with "." and ".." resolved against the current directory, as
    // GetFullPathNameW gives it; empty when it cannot be resolved.
    virtual std::wstring FullPath(const std::wstring& path) = 0;
    // Reads the local clock once and formats that one reading with the user's current settings.
    virtual DateTimeTexts CurrentDateTimeTexts() = 0;

    // Programs running on this PC, for the check that none runs from the installation directory.
    struct RunningProcess {
        std::uint32_t id = 0;
        std::wstring imagePath;  // QueryFullProcessImageNameW; empty when it cannot be read
    };
    // Every process of a Toolhelp snapshot, the own one included; empty when no snapshot is taken.
    virtual std::vector<RunningProcess> RunningProcesses() = 0;
    virtual std::uint32_t CurrentProcessId() = 0;
    // GetLongPathNameW: 8.3 components spelt out; empty when the path cannot be resolved.
    virtual std::wstring LongPath(const std::wstring& path) = 0;
    // CompareStringOrdinal ignoring case, the way the file system matches names: <0, 0 or >0.
    virtual int CompareOrdinalIgnoreCase(const std::wstring& a, const std::wstring& b) = 0;
};

inline constexpr int kCsidlLocalAppData = 0x1C;

}  // namespace mvn

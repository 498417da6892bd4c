#pragma once
// The Windows operations of the steps over Win32: wide calls only, every handle owned.
#include "platform/platform.h"

namespace mvn {

class Win32Platform final : public Platform {
public:
    bool FileExists(const std::wstring& path) override;
    bool DirectoryExists(const std::wstring& path) override;
    bool CreateSingleDirectory(const std::wstring& path) override;
    bool CopyFileReplacing(const std::wstring& from, const std::wstring& to) override;
    std::unique_ptr<FileWriter> CreateFileForWriting(const std::wstring& path) override;
    bool SetAttributes(const std::wstring& path, std::uint32_t attributes) override;
    bool DeleteSingleFile(const std::wstring& path) override;
    bool MakeReplaceable(const std::wstring& path) override;
    std::wstring ReadIniString(const std::wstring& file, const std::wstring& section,
                               const std::wstring& key) override;
    bool WriteIniString(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                        const std::wstring& value) override;
    void FlushIni(const std::wstring& file) override;
    RegistryString ReadMachineString(const std::wstring& key, const std::wstring& value,
                                     bool use64BitView) override;
    bool IsWow64() override;
    std::wstring GetFileFolderPathFromRegistry(const std::wstring& valueName) override;
    std::wstring GetShellFolder(int csidl) override;
    std::optional<ProductVersion> ReadProductVersion(const std::wstring& path) override;
    ShellResult CopyFolder(const std::wstring& sourceFolder, const std::wstring& targetFolder) override;
    bool DeleteFiles(const std::wstring& pattern) override;
    std::wstring TempPath() override;
    std::wstring ModuleFileName() override;
    std::wstring FullPath(const std::wstring& path) override;
    DateTimeTexts CurrentDateTimeTexts() override;

    std::vector<RunningProcess> RunningProcesses() override;
    std::uint32_t CurrentProcessId() override;
    std::wstring LongPath(const std::wstring& path) override;
    int CompareOrdinalIgnoreCase(const std::wstring& a, const std::wstring& b) override;
};

}  // namespace mvn

#pragma once
// The installation archive of the archive step: the walk into a fresh ZIP file, then the read-back
// proof, since the directory is emptied only when this succeeds.
#include <optional>
#include <string>
#include <vector>

#include "backup/install_archiver.h"
#include "backup/zip/archive_files.h"
#include "backup/zip/zip_format.h"

namespace mvn {

class ZipInstallArchiver final : public InstallArchiver {
public:
    explicit ZipInstallArchiver(ArchiveFiles& files) : files_(files) {}

    bool WriteVerifiedArchive(const std::wstring& archivePath, const std::wstring& installDir,
                              const std::wstring& ownModulePath) override;
    const WalkSnapshot& Walked() const override { return walked_; }
    bool StillAsWalked(const std::wstring& installDir) override;
    bool RestoreInstallation(const std::wstring& archivePath, const std::wstring& installDir,
                             Platform& platform) override;

    // The two halves of WriteVerifiedArchive, for the native tool that times them apart.
    bool WriteArchive(const std::wstring& archivePath, const std::wstring& installDir,
                      const std::wstring& ownModulePath);
    // Reads the archive back whole; after WriteArchive it must also hold exactly the entries written.
    bool VerifyArchive(const std::wstring& archivePath);

    // Why the last call failed, for diagnostics; UTF-8.
    const std::string& LastError() const { return lastError_; }

private:
    ArchiveFiles& files_;
    std::string lastError_;
    std::optional<std::vector<zip::EntryRecord>> written_;  // after a WriteArchive that succeeded
    WalkSnapshot seen_;                                     // the walk of the last WriteArchive
    WalkSnapshot walked_;  // the same, once the archive it went into has been proven
};

}  // namespace mvn

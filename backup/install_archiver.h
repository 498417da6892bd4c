#pragma once
// Writes the archive of an installation directory and proves it by reading it back. The archive step
// deletes nothing unless this reports success and the directory is still as the walk saw it.
#include <string>

#include "backup/zip/walk_snapshot.h"

namespace mvn {

class Platform;

class InstallArchiver {
public:
    virtual ~InstallArchiver() = default;
    // Creates (replaces) archivePath, adds every file below installDir in walk order except the
    // file equal to ownModulePath, closes it and verifies it. False on any failure; an incomplete
    // archive may be left at archivePath.
    virtual bool WriteVerifiedArchive(const std::wstring& archivePath, const std::wstring& installDir,
                                      const std::wstring& ownModulePath) = 0;
    // What the walk of the last WriteVerifiedArchive saw, when it succeeded; empty otherwise.
    virtual const WalkSnapshot& Walked() const = 0;
    // Walks installDir again, reading no file, and reports whether it holds exactly what Walked()
    // lists: a file that appeared or changed since then is in no proven archive.
    virtual bool StillAsWalked(const std::wstring& installDir) = 0;
    // Writes the entries of the archive that the last WriteVerifiedArchive proved back below the
    // parent of installDir, through platform, reading them through the same check. True only when
    // every file and folder is back.
    virtual bool RestoreInstallation(const std::wstring& archivePath, const std::wstring& installDir,
                                     Platform& platform) = 0;
};

}  // namespace mvn

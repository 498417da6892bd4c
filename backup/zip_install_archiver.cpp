#include "backup/zip_install_archiver.h"

#include <exception>

#include "backup/install_restore.h"
#include "backup/zip/install_walk.h"
#include "backup/zip/utf8.h"
#include "backup/zip/zip_verify.h"
#include "backup/zip/zip_writer.h"

namespace mvn {

namespace {

// A sound archive is not enough: it has to be the one just written, entry for entry.
bool HoldsExactly(const ZipVerifyResult& read, const std::vector<zip::EntryRecord>& written) {
    if (read.entries.size() != written.size()) return false;
    for (std::size_t i = 0; i < written.size(); ++i) {
        const zip::EntryRecord& r = read.entries[i].record;
        const zip::EntryRecord& w = written[i];
        if (r.name != w.name || r.crc != w.crc || r.uncompressedSize != w.uncompressedSize ||
            r.compressedSize != w.compressedSize || r.localHeaderOffset != w.localHeaderOffset) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool ZipInstallArchiver::WriteVerifiedArchive(const std::wstring& archivePath, const std::wstring& installDir,
                                              const std::wstring& ownModulePath) {
    return WriteArchive(archivePath, installDir, ownModulePath) && VerifyArchive(archivePath);
}

bool ZipInstallArchiver::StillAsWalked(const std::wstring& installDir) {
    lastError_.clear();
    try {
        if (!walked_.empty() && SameWalk(walked_, WalkOnly(files_, installDir))) return true;
        lastError_ = "the directory changed after it was archived";
    } catch (const std::exception& e) {
        lastError_ = e.what();
    }
    return false;
}

bool ZipInstallArchiver::WriteArchive(const std::wstring& archivePath, const std::wstring& installDir,
                                      const std::wstring& ownModulePath) {
    lastError_.clear();
    written_.reset();
    seen_.clear();
    walked_.clear();
    try {
        // The sink must be gone before the archive is read back: it holds the file unshared.
        const std::unique_ptr<Sink> sink = files_.CreateArchive(archivePath);
        if (!sink) {
            lastError_ = "cannot create " + zip::ToUtf8(archivePath);
            return false;
        }
        ZipWriter writer(*sink);
        WalkSnapshot seen = DoZip(files_, writer, installDir, ownModulePath);
        writer.Close();
        if (!sink->Commit()) {
            lastError_ = "cannot complete " + zip::ToUtf8(archivePath);
            return false;
        }
        written_ = writer.Entries();
        seen_ = std::move(seen);
        return true;
    } catch (const std::exception& e) {
        // Not only ZipError: running out of memory must not let the directory be emptied either.
        lastError_ = e.what();
        return false;
    }
}

bool ZipInstallArchiver::VerifyArchive(const std::wstring& archivePath) {
    lastError_.clear();
    try {
        const std::unique_ptr<RandomAccessSource> archive = files_.OpenArchive(archivePath);
        if (!archive) {
            lastError_ = "cannot open " + zip::ToUtf8(archivePath) + " for reading back";
            return false;
        }
        const ZipVerifyResult result = ZipVerify(*archive);
        if (!result.ok) {
            lastError_ = "archive check failed: " + result.problem;
            return false;
        }
        if (written_ && !HoldsExactly(result, *written_)) {
            lastError_ = "the archive read back is not the one written";
            return false;
        }
        // What the walk saw counts only once the archive it went into has been proven.
        if (written_) walked_ = seen_;
        return true;
    } catch (const std::exception& e) {
        lastError_ = e.what();
        return false;
    }
}

bool ZipInstallArchiver::RestoreInstallation(const std::wstring& archivePath, const std::wstring& installDir,
                                             Platform& platform) {
    lastError_.clear();
    if (!written_) {
        lastError_ = "no archive has been proven";
        return false;
    }
    try {
        const std::unique_ptr<RandomAccessSource> archive = files_.OpenArchive(archivePath);
        if (!archive) {
            lastError_ = "cannot open " + zip::ToUtf8(archivePath) + " for the restore";
            return false;
        }
        const RestoreOutcome outcome =
            RestoreArchive(*archive, PlanFromWalk(NameRoot(installDir), *written_, Walked()), platform);
        lastError_ = outcome.problem;
        return outcome.complete;
    } catch (const std::exception& e) {
        lastError_ = e.what();
        return false;
    }
}

}  // namespace mvn

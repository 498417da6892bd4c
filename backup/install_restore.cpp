#include "backup/install_restore.h"

#include <exception>
#include <map>
#include <memory>

#include "backup/zip/utf8.h"
#include "backup/zip/zip_error.h"
#include "backup/zip/zip_verify.h"

namespace mvn {
namespace {

// What SetFileAttributesW can give back; the rest (directory, compressed, encrypted, sparse) comes
// with the folder or file itself or not at all.
constexpr std::uint32_t kAttributeDirectoryBit = 0x10;
constexpr std::uint32_t kSettableAttributes = 0x1 | 0x2 | 0x4 | 0x20 | 0x100 | 0x1000 | 0x2000;

bool SameEntry(const zip::EntryRecord& read, const zip::EntryRecord& written) {
    return read.name == written.name && read.crc == written.crc &&
           read.uncompressedSize == written.uncompressedSize &&
           read.compressedSize == written.compressedSize &&
           read.localHeaderOffset == written.localHeaderOffset;
}

class Restorer final : public ZipEntryReceiver {
public:
    Restorer(const RestorePlan& plan, Platform& platform, RestoreOutcome& outcome)
        : plan_(plan), platform_(platform), outcome_(outcome) {}

    void Begin(const ZipEntryInfo& entry) override {
        // Only the archive that was proven is put back, entry for entry; this also keeps every name
        // below the name root, since those entries passed the writer's name check.
        if (index_ >= plan_.entries.size() || !SameEntry(entry.record, plan_.entries[index_])) {
            throw ZipError("the archive holds other entries than were written: " + entry.record.name);
        }
        current_ = index_++;
        path_ = plan_.nameRoot + zip::FromUtf8(entry.record.name);
        EnsureFolder(path_.substr(0, path_.find_last_of(L'\\')));
        writer_ = platform_.CreateFileForWriting(path_);
        if (!writer_) Fail("cannot create " + entry.record.name);
    }

    void Data(std::span<const std::byte> bytes) override {
        if (writer_ && !writer_->Write(bytes)) {
            Discard();
            Fail("cannot write " + plan_.entries[current_].name);
        }
    }

    void End() override {
        if (!writer_) return;
        const std::unique_ptr<FileWriter> writer = std::move(writer_);
        const RestoreFile& file = plan_.files[current_];
        // The content is complete by now; a time or attribute that does not take leaves it in place.
        const bool timed = writer->Finish(file.lastWrite);
        const bool attributed = platform_.SetAttributes(path_, file.attributes & kSettableAttributes);
        if (timed && attributed) {
            ++outcome_.filesWritten;
        } else {
            Fail("cannot set the time or attributes of " + plan_.entries[current_].name);
        }
    }

    // The check stopped inside an entry: what was written of it is not the old file.
    void Discard() {
        if (!writer_) return;
        writer_.reset();
        platform_.DeleteSingleFile(path_);
    }

    void EnsureFolder(const std::wstring& folder) {
        if (folder.size() < plan_.nameRoot.size() || platform_.DirectoryExists(folder)) return;
        const std::size_t slash = folder.find_last_of(L'\\');
        if (slash != std::wstring::npos) EnsureFolder(folder.substr(0, slash));
        if (!platform_.CreateSingleDirectory(folder) && !platform_.DirectoryExists(folder)) {
            Fail("cannot create the folder " + zip::ToUtf8(folder));
        }
    }

    void Fail(const std::string& problem) {
        if (outcome_.complete) outcome_.problem = problem;
        outcome_.complete = false;
    }

    std::size_t entriesSeen() const { return index_; }

private:
    const RestorePlan& plan_;
    Platform& platform_;
    RestoreOutcome& outcome_;
    std::size_t index_ = 0;
    std::size_t current_ = 0;
    std::wstring path_;
    std::unique_ptr<FileWriter> writer_;
};

}  // namespace

RestoreOutcome RestoreArchive(RandomAccessSource& archive, const RestorePlan& plan, Platform& platform) {
    RestoreOutcome outcome;
    outcome.complete = true;
    Restorer restorer(plan, platform, outcome);
    try {
        if (plan.files.size() != plan.entries.size()) throw ZipError("plan and entries differ in number");
        for (const RestoreFolder& folder : plan.folders) restorer.EnsureFolder(folder.path);
        const ZipVerifyResult read = ZipVerify(archive, 0, &restorer);
        restorer.Discard();
        if (!read.ok) {
            outcome.complete = false;
            outcome.problem = read.problem;
            return outcome;
        }
        if (restorer.entriesSeen() != plan.entries.size()) restorer.Fail("the archive holds fewer entries");
        // Last, so that a read-only folder takes no file too few; children before their parents.
        for (auto folder = plan.folders.rbegin(); folder != plan.folders.rend(); ++folder) {
            if (!platform.SetAttributes(folder->path, folder->attributes & kSettableAttributes)) {
                restorer.Fail("cannot set the attributes of " + zip::ToUtf8(folder->path));
            }
        }
    } catch (const std::exception& e) {
        restorer.Discard();
        outcome.complete = false;
        outcome.problem = e.what();
    }
    return outcome;
}

RestorePlan PlanFromWalk(const std::wstring& nameRoot, const std::vector<zip::EntryRecord>& entries,
                         const WalkSnapshot& walked) {
    RestorePlan plan{nameRoot, entries, {}, {}};
    std::map<std::wstring, const WalkedEntry*> files;
    for (const WalkedEntry& seen : walked) {
        if ((seen.attributes & kAttributeDirectoryBit) != 0) {
            plan.folders.push_back({seen.path, seen.attributes});
        } else {
            files.emplace(seen.path, &seen);
        }
    }
    for (const zip::EntryRecord& entry : entries) {
        // The entry names were cut from these very paths, so they meet again spelt the same.
        const auto seen = files.find(nameRoot + zip::FromUtf8(entry.name));
        if (seen == files.end()) throw ZipError("the walk did not see " + entry.name);
        plan.files.push_back({seen->second->lastWrite, seen->second->attributes});
    }
    return plan;
}

}  // namespace mvn

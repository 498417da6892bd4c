#include "backup/zip/install_walk.h"

#include <vector>

#include "backup/zip/utf8.h"
#include "backup/zip/zip_error.h"

namespace mvn {

namespace {

class Walk {
public:
    // Without a writer the walk only lists.
    Walk(ArchiveFiles& files, ZipWriter* writer, const std::wstring& ownModulePath, std::wstring nameRoot)
        : files_(files), writer_(writer), ownModulePath_(ownModulePath), nameRoot_(std::move(nameRoot)) {}

    // dir ends with a backslash.
    void ZipFolder(const std::wstring& dir) {
        for (const DirEntry& entry : ListOrThrow(dir)) {
            if ((entry.attributes & kAttributeDirectory) == 0 || entry.name == L"." || entry.name == L"..") {
                continue;
            }
            Note(dir, entry);
            ZipFolder(dir + entry.name + L'\\');
        }
        ZipFolderFiles(dir);
    }

    WalkSnapshot& Seen() { return seen_; }

private:
    void ZipFolderFiles(const std::wstring& dir) {
        std::wstring relative = dir;
        if (const std::size_t at = relative.find(nameRoot_); at != std::wstring::npos) {
            relative.erase(at, nameRoot_.size());
        }
        for (const DirEntry& entry : ListOrThrow(dir)) {
            if ((entry.attributes & kAttributeDirectory) != 0) continue;
            const std::wstring path = dir + entry.name;
            Note(dir, entry);
            if (path == ownModulePath_ || writer_ == nullptr) continue;
            const std::unique_ptr<Source> source = files_.OpenFile(path);
            if (!source) throw ZipError("cannot open " + zip::ToUtf8(path));
            writer_->Add(relative + entry.name, *source);
        }
    }

    std::vector<DirEntry> ListOrThrow(const std::wstring& dir) {
        std::optional<std::vector<DirEntry>> entries = files_.List(dir + L"*.*");
        if (!entries) throw ZipError("cannot list " + zip::ToUtf8(dir));
        return std::move(*entries);
    }

    void Note(const std::wstring& dir, const DirEntry& entry) {
        const bool folder = (entry.attributes & kAttributeDirectory) != 0;
        seen_.push_back({dir + entry.name, entry.attributes, folder ? 0 : entry.size, entry.lastWrite});
    }

    ArchiveFiles& files_;
    ZipWriter* writer_;
    const std::wstring ownModulePath_;
    const std::wstring nameRoot_;
    WalkSnapshot seen_;
};

}  // namespace

std::wstring NameRoot(const std::wstring& directory) {
    std::wstring root = directory + L'\\';
    root.pop_back();
    while (!root.empty() && root.back() != L'\\') root.pop_back();
    return root;
}

WalkSnapshot DoZip(ArchiveFiles& files, ZipWriter& writer, const std::wstring& installDir,
                   const std::wstring& ownModulePath) {
    Walk walk(files, &writer, ownModulePath, NameRoot(installDir));
    walk.ZipFolder(installDir + L'\\');
    return std::move(walk.Seen());
}

WalkSnapshot WalkOnly(ArchiveFiles& files, const std::wstring& installDir) {
    Walk walk(files, nullptr, L"", NameRoot(installDir));
    walk.ZipFolder(installDir + L'\\');
    return std::move(walk.Seen());
}

}  // namespace mvn

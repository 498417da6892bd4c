#include "backup/zip/install_walk.h"

#include <vector>

#include "backup/zip/utf8.h"
#include "backup/zip/zip_error.h"

namespace mvn {

namespace {

class Walk {
public:
    Walk(ArchiveFiles& files, ZipWriter& writer, const std::wstring& ownModulePath, std::wstring nameRoot)
        : files_(files), writer_(writer), ownModulePath_(ownModulePath), nameRoot_(std::move(nameRoot)) {}

    // dir ends with a backslash.
    void ZipFolder(const std::wstring& dir) {
        for (const DirEntry& entry : ListOrThrow(dir)) {
            if ((entry.attributes & kAttributeDirectory) == 0 || entry.name == L"." || entry.name == L"..") {
                continue;
            }
            ZipFolder(dir + entry.name + L'\\');
        }
        ZipFolderFiles(dir);
    }

private:
    void ZipFolderFiles(const std::wstring& dir) {
        std::wstring relative = dir;
        if (const std::size_t at = relative.find(nameRoot_); at != std::wstring::npos) {
            relative.erase(at, nameRoot_.size());
        }
        for (const DirEntry& entry : ListOrThrow(dir)) {
            if ((entry.attributes & kAttributeDirectory) != 0) continue;
            const std::wstring path = dir + entry.name;
            if (path == ownModulePath_) continue;
            const std::unique_ptr<Source> source = files_.OpenFile(path);
            if (!source) throw ZipError("cannot open " + zip::ToUtf8(path));
            writer_.Add(relative + entry.name, *source);
        }
    }

    std::vector<DirEntry> ListOrThrow(const std::wstring& dir) {
        std::optional<std::vector<DirEntry>> entries = files_.List(dir + L"*.*");
        if (!entries) throw ZipError("cannot list " + zip::ToUtf8(dir));
        return std::move(*entries);
    }

    ArchiveFiles& files_;
    ZipWriter& writer_;
    const std::wstring& ownModulePath_;
    const std::wstring nameRoot_;
};

}  // namespace

std::wstring NameRoot(const std::wstring& directory) {
    std::wstring root = directory + L'\\';
    root.pop_back();
    while (!root.empty() && root.back() != L'\\') root.pop_back();
    return root;
}

void DoZip(ArchiveFiles& files, ZipWriter& writer, const std::wstring& installDir,
           const std::wstring& ownModulePath) {
    Walk(files, writer, ownModulePath, NameRoot(installDir)).ZipFolder(installDir + L'\\');
}

}  // namespace mvn

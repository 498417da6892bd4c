#pragma once
// One file system in memory behind both the archive's file port and the platform's file
// operations, so that the walk, the writer, the read-back, the step's copies and its deletion all
// see the same files. It keeps the Windows rules that decide whether files are lost: names ignore
// ASCII case, an open file is shared as its opener asked, a replaced file must not be read-only or
// hidden, a copy takes the source's attributes. Every file operation is counted, and the one
// numbered failAt fails, as a full disk, a lost share or a virus scanner would make it.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "backup/zip/archive_files.h"
#include "fakes.h"
#include "platform/platform.h"

namespace mvn::testing {

class MemoryFileSystem final : public ArchiveFiles, public Platform {
public:
    struct Node {
        std::wstring path;  // as first created
        bool directory = false;
        std::string content;
        std::uint32_t attributes = 0;
        std::uint64_t lastWrite = 0;  // ticks; every change of the content moves it on
        int readers = 0;              // open handles of this process
        int writers = 0;
    };

    // The counted operation numbered failAt (from 1) fails; 0 fails none.
    int failAt = 0;
    int operations = 0;
    // "kind path" of every counted operation, in order; kind is one of create, open, read, write,
    // seek, flush, close, find-first, find-next, copy, delete, attributes.
    std::vector<std::wstring> log;
    // Runs before every counted operation, with its kind and path: a test changes files here as
    // another program would while the step works.
    std::function<void(const std::wstring& kind, const std::wstring& path)> beforeOperation;
    // Files another process holds open for writing, in any spelling: they cannot be opened,
    // replaced or deleted.
    std::set<std::wstring> heldForWriting;
    std::wstring tempPath = L"C:\\Users\\lehrer\\AppData\\Local\\Temp\\";
    std::wstring modulePath = L"C:\\Downloads\\MVNUpdaterP2_10.exe";

    // Setting up and looking at the files is not counted.
    void AddDir(const std::wstring& path, std::uint32_t attributes = kAttributeDirectory) {
        AddParents(path);
        Node& node = nodes_[Key(path)];
        if (node.path.empty()) node.path = path;
        node.directory = true;
        node.attributes = attributes | kAttributeDirectory;
    }
    void AddFile(const std::wstring& path, std::string content = "x",
                 std::uint32_t attributes = kAttributeArchive, std::uint64_t lastWrite = 0) {
        AddParents(path);
        Node& node = nodes_[Key(path)];
        if (node.path.empty()) node.path = path;
        node.directory = false;
        node.content = std::move(content);
        node.attributes = attributes;
        node.lastWrite = lastWrite != 0 ? lastWrite : ++clock_;
    }
    // Another program writes the file: new content, a later last-write time.
    void Rewrite(const std::wstring& path, std::string content) {
        Node& node = nodes_.at(Key(path));
        node.content = std::move(content);
        node.lastWrite = ++clock_;
    }
    void Remove(const std::wstring& path) { nodes_.erase(Key(path)); }
    const Node* Find(const std::wstring& path) const {
        const auto it = nodes_.find(Key(path));
        return it == nodes_.end() ? nullptr : &it->second;
    }
    bool HasFile(const std::wstring& path) const {
        const Node* node = Find(path);
        return node && !node->directory;
    }
    bool HasDir(const std::wstring& path) const {
        const Node* node = Find(path);
        return node && node->directory;
    }
    std::optional<std::string> Content(const std::wstring& path) const {
        const Node* node = Find(path);
        if (!node || node->directory) return std::nullopt;
        return node->content;
    }
    // Every file and folder below dir, as first created, in the order of their keys.
    std::vector<std::wstring> Below(const std::wstring& dir) const {
        const std::wstring prefix = Key(dir) + L"\\";
        std::vector<std::wstring> out;
        for (const auto& [key, node] : nodes_)
            if (key.starts_with(prefix)) out.push_back(node.path);
        return out;
    }
    int OpenHandles() const {
        int open = 0;
        for (const auto& entry : nodes_) open += entry.second.readers + entry.second.writers;
        return open;
    }

    // The same keys as the fake platform's: Windows treats "a\\b" as "a\b" and ignores ASCII case.
    static std::wstring Key(const std::wstring& path) { return PathKey(path); }

    // ArchiveFiles.
    std::optional<std::vector<DirEntry>> List(const std::wstring& pattern) override {
        const std::size_t slash = pattern.rfind(L'\\');
        const std::wstring dir = pattern.substr(0, slash == std::wstring::npos ? 0 : slash);
        if (!Counted(L"find-first", pattern)) return std::nullopt;
        const Node* node = Find(dir);
        if (!node || !node->directory || pattern.substr(slash + 1) != L"*.*") return std::nullopt;
        std::vector<DirEntry> entries = {{L".", kAttributeDirectory}, {L"..", kAttributeDirectory}};
        for (const auto& [key, child] : nodes_) {
            if (Parent(key) == Key(dir)) {
                entries.push_back({Name(child.path), child.attributes,
                                   child.directory ? 0 : child.content.size(), child.lastWrite});
            }
        }
        // FindNextFileW is called once per entry after the first, and once more to learn the end.
        for (std::size_t i = 1; i <= entries.size(); ++i) {
            if (!Counted(L"find-next", pattern)) return std::nullopt;
        }
        return entries;
    }

    std::unique_ptr<Source> OpenFile(const std::wstring& path) override {
        if (!Counted(L"open", path)) return nullptr;
        Node* node = Existing(path);
        if (!node || node->directory || node->writers > 0 || Held(path)) return nullptr;
        return std::make_unique<FileSource>(*this, Key(path), *node);
    }

    std::unique_ptr<Sink> CreateArchive(const std::wstring& path) override {
        if (!Counted(L"create", path)) return nullptr;
        Node* node = Existing(path);
        // CREATE_ALWAYS with FILE_ATTRIBUTE_NORMAL refuses a hidden or system file, GENERIC_WRITE a
        // read-only one; no sharing refuses a file that is open.
        if (node &&
            (node->directory || Blocks(*node, kAttributeReadOnly | kAttributeHidden | kAttributeSystem) ||
             node->readers + node->writers > 0 || Held(path))) {
            return nullptr;
        }
        if (!node && !HasDir(ParentPath(path))) return nullptr;
        AddFile(path, "", kAttributeArchive);
        Node& created = nodes_.at(Key(path));
        ++created.writers;
        return std::make_unique<FileSink>(*this, Key(path));
    }

    std::unique_ptr<RandomAccessSource> OpenArchive(const std::wstring& path) override {
        if (!Counted(L"open", path)) return nullptr;
        Node* node = Existing(path);
        if (!node || node->directory || node->writers > 0 || Held(path)) return nullptr;
        return std::make_unique<ArchiveReader>(*this, Key(path), *node);
    }

    // Platform: the file operations.
    bool FileExists(const std::wstring& path) override {
        if (!Counted(L"attributes", path)) return false;
        return HasFile(path);
    }
    bool DirectoryExists(const std::wstring& path) override {
        if (!Counted(L"attributes", path)) return false;
        return HasDir(path);
    }
    bool CreateSingleDirectory(const std::wstring& path) override {
        if (!Counted(L"create", path)) return false;
        if (Find(path) || !HasDir(ParentPath(path))) return false;
        AddDir(path);
        return true;
    }
    // CopyFileExW: the target takes the source's content, attributes and last-write time; an
    // existing read-only or hidden target is not replaced.
    bool CopyFileReplacing(const std::wstring& from, const std::wstring& to) override {
        if (!Counted(L"copy", from + L"|" + to)) return false;
        const Node* source = Existing(from);
        if (!source || source->directory || source->writers > 0 || Held(from)) return false;
        const Node* target = Existing(to);
        if (target && (target->directory || Blocks(*target, kAttributeReadOnly | kAttributeHidden) ||
                       target->readers + target->writers > 0 || Held(to))) {
            return false;
        }
        if (!target && !HasDir(ParentPath(to))) return false;
        const Node copy = *source;
        AddFile(to, copy.content, copy.attributes | kAttributeArchive, copy.lastWrite);
        return true;
    }
    bool MakeReplaceable(const std::wstring& path) override {
        if (!Counted(L"attributes", path)) return false;
        Node* node = Existing(path);
        if (node && !node->directory)
            node->attributes &= ~(kAttributeReadOnly | kAttributeHidden | kAttributeSystem);
        return true;
    }
    // The shell copy of the files directly in a folder; one counted copy per file.
    ShellResult CopyFolder(const std::wstring& sourceFolder, const std::wstring& targetFolder) override {
        for (const std::wstring& path : Below(sourceFolder)) {
            const Node& node = *Find(path);
            if (node.directory || Parent(Key(path)) != Key(sourceFolder)) continue;
            if (!CopyFileReplacing(path, targetFolder + L"\\" + Name(path))) return {1, false};
        }
        return {};
    }
    // The shell delete of everything below the folder a pattern such as dir + "\*.*" names: files
    // first, then the folders from the deepest up; one counted delete each. What is open, held by
    // another process or fails stays, and the shell stops there.
    bool DeleteFiles(const std::wstring& pattern) override {
        const std::wstring dir = pattern.substr(0, pattern.rfind(L'\\'));
        std::vector<std::wstring> files, folders;
        for (const std::wstring& path : Below(dir)) (Find(path)->directory ? folders : files).push_back(path);
        std::sort(folders.begin(), folders.end(),
                  [](const std::wstring& a, const std::wstring& b) { return a.size() > b.size(); });
        for (const std::wstring& path : files) {
            const Node& node = *Find(path);
            if (!Counted(L"delete", path) || node.readers + node.writers > 0 || Held(path)) return false;
            nodes_.erase(Key(path));
        }
        for (const std::wstring& path : folders) {
            if (!Counted(L"delete", path)) return false;
            nodes_.erase(Key(path));
        }
        return true;
    }

    // Platform: writing files back. CREATE_ALWAYS after the read-only, hidden and system attributes
    // of a file in the way were cleared; the time set on finishing is what the walk reads again.
    std::unique_ptr<FileWriter> CreateFileForWriting(const std::wstring& path) override {
        if (!Counted(L"create", path)) return nullptr;
        Node* node = Existing(path);
        if (node && (node->directory || node->readers + node->writers > 0 || Held(path))) return nullptr;
        if (!node && !HasDir(ParentPath(path))) return nullptr;
        AddFile(path, "", kAttributeArchive);
        ++nodes_.at(Key(path)).writers;
        return std::make_unique<FileWriterNode>(*this, Key(path));
    }
    bool SetAttributes(const std::wstring& path, std::uint32_t attributes) override {
        if (!Counted(L"attributes", path)) return false;
        Node* node = Existing(path);
        if (!node) return false;
        node->attributes = (attributes & ~kAttributeDirectory) | (node->directory ? kAttributeDirectory : 0);
        return true;
    }
    bool DeleteSingleFile(const std::wstring& path) override {
        if (!Counted(L"delete", path)) return false;
        const Node* node = Existing(path);
        if (!node || node->directory || Blocks(*node, kAttributeReadOnly) ||
            node->readers + node->writers > 0 || Held(path)) {
            return false;
        }
        nodes_.erase(Key(path));
        return true;
    }

    // Platform: the rest answers as an ordinary PC would.
    std::wstring ReadIniString(const std::wstring&, const std::wstring&, const std::wstring&) override {
        return {};
    }
    bool WriteIniString(const std::wstring&, const std::wstring&, const std::wstring&,
                        const std::wstring&) override {
        return true;
    }
    void FlushIni(const std::wstring&) override {}
    RegistryString ReadMachineString(const std::wstring&, const std::wstring&, bool) override { return {}; }
    bool IsWow64() override { return false; }
    std::wstring GetFileFolderPathFromRegistry(const std::wstring&) override { return {}; }
    std::wstring GetShellFolder(int) override { return {}; }
    std::optional<ProductVersion> ReadProductVersion(const std::wstring&) override { return std::nullopt; }
    std::wstring TempPath() override { return tempPath; }
    std::wstring ModuleFileName() override { return modulePath; }
    std::wstring FullPath(const std::wstring& path) override { return path; }
    DateTimeTexts CurrentDateTimeTexts() override { return {L"08.12.2025", L"21:47:05"}; }
    // No other program runs; the archive step never compares paths.
    std::vector<RunningProcess> RunningProcesses() override { return {}; }
    std::uint32_t CurrentProcessId() override { return 1; }
    std::wstring LongPath(const std::wstring& path) override { return path; }
    int CompareOrdinalIgnoreCase(const std::wstring& a, const std::wstring& b) override {
        return a.compare(b);
    }

private:
    class FileSource final : public Source {
    public:
        FileSource(MemoryFileSystem& files, std::wstring key, Node& node)
            : files_(files),
              key_(std::move(key)),
              content_(node.content),
              attributes_(node.attributes),
              lastWrite_(node.lastWrite) {
            ++node.readers;
        }
        ~FileSource() override { files_.Close(key_, false); }
        std::optional<std::size_t> Read(std::span<std::byte> buffer) override {
            if (!files_.Counted(L"read", key_)) return std::nullopt;
            const std::size_t n = std::min(buffer.size(), content_.size() - next_);
            std::copy_n(reinterpret_cast<const std::byte*>(content_.data()) + next_, n, buffer.data());
            next_ += n;
            return n;
        }
        std::uint64_t Size() const override { return content_.size(); }
        LocalTime LastWriteTime() const override { return LocalTimeOf(lastWrite_); }
        std::uint32_t Attributes() const override { return attributes_; }

    private:
        MemoryFileSystem& files_;
        std::wstring key_;
        std::string content_;  // what the file held when it was opened; nobody may write it meanwhile
        std::uint32_t attributes_;
        std::uint64_t lastWrite_;
        std::size_t next_ = 0;
    };

    class FileSink final : public Sink {
    public:
        FileSink(MemoryFileSystem& files, std::wstring key) : files_(files), key_(std::move(key)) {}
        ~FileSink() override {
            if (open_) files_.Close(key_, true);
        }
        bool Write(std::span<const std::byte> data) override {
            if (!open_ || !files_.Counted(L"write", key_)) return false;
            Node& node = files_.nodes_.at(key_);
            if (node.content.size() < position_ + data.size()) node.content.resize(position_ + data.size());
            std::copy(data.begin(), data.end(),
                      reinterpret_cast<std::byte*>(node.content.data()) + position_);
            position_ += data.size();
            node.lastWrite = ++files_.clock_;
            return true;
        }
        std::uint64_t Tell() const override { return position_; }
        bool Seek(std::uint64_t position) override {
            if (!open_ || !files_.Counted(L"seek", key_)) return false;
            position_ = static_cast<std::size_t>(position);
            return true;
        }
        bool Commit() override {
            if (!open_) return false;
            const bool flushed = files_.Counted(L"flush", key_);
            const bool closed = files_.Counted(L"close", key_);
            files_.Close(key_, true);
            open_ = false;
            return flushed && closed;
        }

    private:
        MemoryFileSystem& files_;
        std::wstring key_;
        std::size_t position_ = 0;
        bool open_ = true;
    };

    class FileWriterNode final : public FileWriter {
    public:
        FileWriterNode(MemoryFileSystem& files, std::wstring key) : files_(files), key_(std::move(key)) {}
        ~FileWriterNode() override {
            if (open_) files_.Close(key_, true);
        }
        bool Write(std::span<const std::byte> data) override {
            if (!open_ || !files_.Counted(L"write", key_)) return false;
            Node& node = files_.nodes_.at(key_);
            node.content.append(reinterpret_cast<const char*>(data.data()), data.size());
            node.lastWrite = ++files_.clock_;
            return true;
        }
        bool Finish(std::uint64_t lastWrite) override {
            if (!open_) return false;
            const bool timed = files_.Counted(L"close", key_);
            if (timed) files_.nodes_.at(key_).lastWrite = lastWrite;
            files_.Close(key_, true);
            open_ = false;
            return timed;
        }

    private:
        MemoryFileSystem& files_;
        std::wstring key_;
        bool open_ = true;
    };

    class ArchiveReader final : public RandomAccessSource {
    public:
        ArchiveReader(MemoryFileSystem& files, std::wstring key, Node& node)
            : files_(files), key_(std::move(key)), content_(node.content) {
            ++node.readers;
        }
        ~ArchiveReader() override { files_.Close(key_, false); }
        bool ReadAt(std::uint64_t offset, std::span<std::byte> buffer) override {
            if (!files_.Counted(L"read", key_)) return false;
            if (offset > content_.size() || buffer.size() > content_.size() - offset) return false;
            std::copy_n(reinterpret_cast<const std::byte*>(content_.data()) + offset, buffer.size(),
                        buffer.data());
            return true;
        }
        std::uint64_t Size() const override { return content_.size(); }

    private:
        MemoryFileSystem& files_;
        std::wstring key_;
        std::string content_;
    };

    bool Counted(const std::wstring& kind, const std::wstring& path) {
        if (beforeOperation) beforeOperation(kind, path);
        log.push_back(kind + L" " + path);
        return ++operations != failAt;
    }
    void Close(const std::wstring& key, bool writer) {
        const auto it = nodes_.find(key);
        if (it == nodes_.end()) return;
        --(writer ? it->second.writers : it->second.readers);
    }
    bool Held(const std::wstring& path) const {
        return std::any_of(heldForWriting.begin(), heldForWriting.end(),
                           [&](const std::wstring& held) { return Key(held) == Key(path); });
    }
    Node* Existing(const std::wstring& path) {
        const auto it = nodes_.find(Key(path));
        return it == nodes_.end() ? nullptr : &it->second;
    }
    static bool Blocks(const Node& node, std::uint32_t attributes) {
        return (node.attributes & attributes) != 0;
    }
    static std::wstring Parent(const std::wstring& key) {
        const std::size_t slash = key.rfind(L'\\');
        return slash == std::wstring::npos ? std::wstring() : Key(key.substr(0, slash + 1));
    }
    static std::wstring ParentPath(const std::wstring& path) { return path.substr(0, path.rfind(L'\\')); }
    static std::wstring Name(const std::wstring& path) { return path.substr(path.rfind(L'\\') + 1); }
    // A valid local time for every tick count, so that the DOS fields of an entry differ with it.
    static LocalTime LocalTimeOf(std::uint64_t ticks) {
        const auto part = [ticks](std::uint64_t unit, std::uint64_t range) {
            return static_cast<int>(ticks / unit % range);
        };
        return {2024,       1 + part(86400 * 28, 12), 1 + part(86400, 28), part(3600, 24), part(60, 60),
                part(1, 60)};
    }
    void AddParents(const std::wstring& path) {
        for (std::size_t slash = path.find(L'\\', 3); slash != std::wstring::npos;
             slash = path.find(L'\\', slash + 1)) {
            Node& node = nodes_[Key(path.substr(0, slash))];
            if (node.path.empty()) {
                node.path = path.substr(0, slash);
                node.directory = true;
                node.attributes = kAttributeDirectory;
            }
        }
    }

    std::map<std::wstring, Node> nodes_;  // by Key
    std::uint64_t clock_ = 1000000;
};

}  // namespace mvn::testing

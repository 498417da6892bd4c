#pragma once
// Recording fakes of the window and of Windows, for running the steps and the chain natively.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/chain.h"
#include "backup/install_archiver.h"
#include "platform/platform.h"
#include "platform/step_error.h"
#include "steps/view.h"

namespace mvn::testing {

struct ProcessEnded {
    int code;
};

class FakeView final : public View {
public:
    std::vector<std::wstring> events;
    std::vector<bool> answers;                  // AskYesNo answers, in order; "no" when used up
    std::function<void(int pumpIndex)> onPump;  // runs inside ProcessPendingMessages

    void AddLogLine(const std::wstring& t) override { events.push_back(L"log:" + t); }
    void SetStatusText(const std::wstring& t) override { events.push_back(L"status:" + t); }
    void ShowError(const std::wstring& t) override { events.push_back(L"error:" + t); }
    bool AskYesNo(const std::wstring& t) override {
        events.push_back(L"ask:" + t);
        if (asked_ >= answers.size()) return false;
        return answers[asked_++];
    }
    void ProcessPendingMessages() override {
        events.push_back(L"pump");
        if (onPump) onPump(pumps_++);
    }
    void BringToFront() override { events.push_back(L"front"); }
    void CollapseLog() override { events.push_back(L"collapse"); }
    void ExpandLog() override { events.push_back(L"expand"); }
    void Pause(unsigned ms) override { events.push_back(L"pause:" + std::to_wstring(ms)); }
    void SetWaitCursor() override { events.push_back(L"wait-cursor"); }
    void RestoreCursor() override { events.push_back(L"restore-cursor"); }
    [[noreturn]] void EndProcess(int code) override {
        events.push_back(L"end:" + std::to_wstring(code));
        throw ProcessEnded{code};
    }

    std::vector<std::wstring> Only(std::wstring_view prefix) const {
        std::vector<std::wstring> out;
        for (const auto& e : events)
            if (e.starts_with(prefix)) out.push_back(e.substr(prefix.size()));
        return out;
    }

private:
    std::size_t asked_ = 0;
    int pumps_ = 0;
};

// Windows treats "a\\b" as "a\b" and ignores ASCII letter case; so does this file system.
inline std::wstring PathKey(const std::wstring& path) {
    std::wstring key;
    for (std::size_t i = 0; i < path.size(); ++i) {
        wchar_t c = path[i];
        if (c == L'\\' && !key.empty() && key.back() == L'\\' && i > 1) continue;
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c + 32);
        key += c;
    }
    while (key.size() > 3 && key.back() == L'\\') key.pop_back();
    return key;
}

class FakePlatform final : public Platform {
public:
    std::map<std::wstring, std::string> files;  // by PathKey
    std::set<std::wstring> dirs;                // by PathKey
    std::set<std::wstring> unwritableFiles;     // copies to these fail
    std::map<std::wstring, std::map<std::wstring, std::map<std::wstring, std::wstring>>>
        ini;  // file/section/key
    std::set<std::wstring> unwritableIni;
    std::map<std::wstring, std::wstring> registry;  // key + L"|" + value (+ L"|64" for the 64-bit view)
    std::set<std::wstring> openableKeys;            // key (+ L"|64")
    std::set<wchar_t> drives{L'c', L'd'};
    bool wow64 = true;
    std::map<std::wstring, std::wstring> shellFolders;
    std::optional<std::wstring> shellFoldersWrongType;
    std::map<int, std::wstring> specialFolders;
    std::map<std::wstring, ProductVersion> versions;  // by PathKey
    std::wstring tempPath = L"C:\\Users\\lehrer\\AppData\\Local\\Temp\\";
    std::wstring modulePath = L"C:\\Downloads\\MVNUpdaterP2_10.exe";
    std::map<std::wstring, std::wstring> fullPaths;  // FullPath answers; other paths come back as given
    DateTimeTexts now{L"08.12.2025", L"21:47:05"};
    ShellResult copyFolderResult;
    std::vector<std::wstring> calls;

    void AddFile(const std::wstring& path, std::string content = "x") {
        files[PathKey(path)] = std::move(content);
        AddParents(path);
    }
    void AddDir(const std::wstring& path) {
        dirs.insert(PathKey(path));
        AddParents(path);
    }
    void SetIni(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                const std::wstring& value) {
        AddFile(file);
        ini[PathKey(file)][section][key] = value;
    }
    bool HasFile(const std::wstring& path) const { return files.count(PathKey(path)) > 0; }

    bool FileExists(const std::wstring& p) override { return files.count(PathKey(p)) > 0; }
    bool DirectoryExists(const std::wstring& p) override { return dirs.count(PathKey(p)) > 0; }
    bool CreateSingleDirectory(const std::wstring& p) override {
        calls.push_back(L"mkdir:" + p);
        const std::wstring key = PathKey(p);
        const std::size_t slash = key.find_last_of(L'\\');
        const bool parentOk =
            slash != std::wstring::npos &&
            (dirs.count(key.substr(0, slash)) > 0 || (slash == 2 && key[1] == L':' && drives.count(key[0])));
        if (!parentOk || files.count(key) || dirs.count(key)) return false;
        dirs.insert(key);
        return true;
    }
    bool CopyFileReplacing(const std::wstring& from, const std::wstring& to) override {
        calls.push_back(L"copy:" + from + L"|" + to);
        auto it = files.find(PathKey(from));
        if (it == files.end() || unwritableFiles.count(PathKey(to))) return false;
        files[PathKey(to)] = it->second;
        return true;
    }
    // Written files get their content as it arrives; failWriteAfter makes the n-th Write fail.
    std::map<std::wstring, std::uint64_t> times;       // by PathKey, set by Finish
    std::map<std::wstring, std::uint32_t> attributes;  // by PathKey, set by SetAttributes
    std::optional<int> failWriteAt;                    // the Write of that number (from 0) fails
    int writes = 0;
    std::unique_ptr<FileWriter> CreateFileForWriting(const std::wstring& path) override {
        calls.push_back(L"create:" + path);
        const std::wstring key = PathKey(path);
        const std::size_t slash = key.find_last_of(L'\\');
        if (unwritableFiles.count(key) || dirs.count(key) || slash == std::wstring::npos ||
            !dirs.count(key.substr(0, slash))) {
            return nullptr;
        }
        files[key].clear();
        return std::make_unique<Writer>(*this, key);
    }
    bool SetAttributes(const std::wstring& path, std::uint32_t a) override {
        const std::wstring key = PathKey(path);
        if (!files.count(key) && !dirs.count(key)) return false;
        attributes[key] = a;
        return true;
    }
    bool DeleteSingleFile(const std::wstring& path) override {
        calls.push_back(L"delete-file:" + path);
        return files.erase(PathKey(path)) > 0;
    }
    std::wstring ReadIniString(const std::wstring& file, const std::wstring& section,
                               const std::wstring& key) override {
        auto f = ini.find(PathKey(file));
        if (f == ini.end()) return {};
        auto s = f->second.find(section);
        if (s == f->second.end()) return {};
        auto k = s->second.find(key);
        return k == s->second.end() ? std::wstring() : k->second;
    }
    bool WriteIniString(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                        const std::wstring& value) override {
        calls.push_back(L"ini-write:" + file + L"|" + section + L"|" + key + L"=" + value);
        if (unwritableIni.count(PathKey(file))) return false;
        ini[PathKey(file)][section][key] = value;
        return true;
    }
    void FlushIni(const std::wstring& file) override { calls.push_back(L"ini-flush:" + file); }
    RegistryString ReadMachineString(const std::wstring& key, const std::wstring& value, bool v64) override {
        const std::wstring view = v64 ? L"|64" : L"";
        calls.push_back(L"reg:" + key + view);
        if (!openableKeys.count(key + view)) return {};
        auto it = registry.find(key + L"|" + value + view);
        return {true, it == registry.end() ? std::wstring() : it->second};
    }
    bool IsWow64() override { return wow64; }
    std::wstring GetFileFolderPathFromRegistry(const std::wstring& name) override {
        if (shellFoldersWrongType) throw StepError(L"Ungültiger Datentyp für '" + name + L"'");
        auto it = shellFolders.find(name);
        return it == shellFolders.end() ? std::wstring() : it->second;
    }
    std::wstring GetShellFolder(int csidl) override { return specialFolders[csidl]; }
    std::optional<ProductVersion> ReadProductVersion(const std::wstring& path) override {
        auto it = versions.find(PathKey(path));
        if (it == versions.end()) return std::nullopt;
        return it->second;
    }
    bool MakeReplaceable(const std::wstring& path) override {
        calls.push_back(L"replaceable:" + path);
        return true;
    }
    ShellResult CopyFolder(const std::wstring& from, const std::wstring& to) override {
        calls.push_back(L"copy-folder:" + from + L"|" + to);
        return copyFolderResult;
    }
    bool DeleteFiles(const std::wstring& pattern) override {
        calls.push_back(L"delete:" + pattern);
        const std::wstring prefix = PathKey(pattern.substr(0, pattern.size() - 4)) + L"\\";
        std::erase_if(files, [&](const auto& f) { return f.first.starts_with(prefix); });
        std::erase_if(dirs, [&](const auto& d) { return d.starts_with(prefix); });
        return true;
    }
    std::wstring TempPath() override { return tempPath; }
    std::wstring ModuleFileName() override { return modulePath; }
    std::wstring FullPath(const std::wstring& path) override {
        const auto found = fullPaths.find(path);
        return found == fullPaths.end() ? path : found->second;
    }
    DateTimeTexts CurrentDateTimeTexts() override {
        calls.push_back(L"clock");
        return now;
    }

    // Running programs: the process list, the own id and the long forms of 8.3 paths.
    std::vector<RunningProcess> processes;
    std::uint32_t ownProcessId = 4242;
    std::map<std::wstring, std::wstring> longPaths;  // LongPath answers by PathKey; others as given
    std::vector<RunningProcess> RunningProcesses() override { return processes; }
    std::uint32_t CurrentProcessId() override { return ownProcessId; }
    std::wstring LongPath(const std::wstring& path) override {
        const auto found = longPaths.find(PathKey(path));
        return found == longPaths.end() ? path : found->second;
    }
    // ASCII letters only, which is all the cases use; Windows folds every letter of its table.
    int CompareOrdinalIgnoreCase(const std::wstring& a, const std::wstring& b) override {
        const auto upper = [](wchar_t c) {
            return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 32) : c;
        };
        for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
            if (upper(a[i]) != upper(b[i])) return upper(a[i]) < upper(b[i]) ? -1 : 1;
        }
        return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
    }

private:
    class Writer final : public FileWriter {
    public:
        Writer(FakePlatform& p, std::wstring key) : p_(p), key_(std::move(key)) {}
        bool Write(std::span<const std::byte> data) override {
            if (p_.failWriteAt && p_.writes++ == *p_.failWriteAt) return false;
            p_.files[key_].append(reinterpret_cast<const char*>(data.data()), data.size());
            return true;
        }
        bool Finish(std::uint64_t t) override {
            p_.times[key_] = t;
            return true;
        }

    private:
        FakePlatform& p_;
        std::wstring key_;
    };

    void AddParents(const std::wstring& path) {
        std::wstring key = PathKey(path);
        for (std::size_t slash = key.find_last_of(L'\\'); slash != std::wstring::npos && slash > 2;
             slash = key.find_last_of(L'\\', slash - 1)) {
            dirs.insert(key.substr(0, slash));
        }
    }
};

class FakeArchiver final : public InstallArchiver {
public:
    explicit FakeArchiver(FakePlatform& p) : platform_(p) {}
    bool succeeds = true;
    bool unchanged = true;  // what StillAsWalked answers
    WalkSnapshot walked;    // what Walked answers
    std::vector<std::wstring> calls;
    bool WriteVerifiedArchive(const std::wstring& archive, const std::wstring& dir,
                              const std::wstring& own) override {
        calls.push_back(archive + L"|" + dir + L"|" + own);
        platform_.AddFile(archive, "PK");
        return succeeds;
    }
    const WalkSnapshot& Walked() const override { return walked; }
    bool StillAsWalked(const std::wstring& dir) override {
        calls.push_back(L"still-as-walked:" + dir);
        return unchanged;
    }
    bool restores = true;
    bool RestoreInstallation(const std::wstring& archive, const std::wstring& dir, Platform&) override {
        calls.push_back(L"restore:" + archive + L"|" + dir);
        return restores;
    }

private:
    FakePlatform& platform_;
};

}  // namespace mvn::testing

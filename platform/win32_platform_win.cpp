#include "platform/win32_platform_win.h"

#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include <utility>
#include <vector>

#include "platform/dll_search_win.h"
#include "platform/growing_text_win.h"
#include "platform/owner_window_win.h"
#include "platform/registry_win.h"
#include "platform/step_error.h"
#include "platform/unique_handle_win.h"

namespace mvn {
namespace {

constexpr wchar_t kShellFoldersKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

DWORD Attributes(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str());
}

template <class F>
F Proc(HMODULE module, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

// version.dll is no KnownDLL, so it is never imported statically: a copy planted beside the
// program would be loaded instead.
struct VersionApi {
    using SizeFn = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
    using InfoFn = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
    using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);
    UniqueModule dll = LoadSystemLibrary(L"version.dll");
    SizeFn size = dll ? Proc<SizeFn>(dll.get(), "GetFileVersionInfoSizeW") : nullptr;
    InfoFn info = dll ? Proc<InfoFn>(dll.get(), "GetFileVersionInfoW") : nullptr;
    QueryFn query = dll ? Proc<QueryFn>(dll.get(), "VerQueryValueW") : nullptr;
    explicit operator bool() const { return size && info && query; }
};

// A list for SHFileOperationW: the path and the two NULs that end the list, sized to the path.
std::vector<wchar_t> DoubleNulList(const std::wstring& path) {
    std::vector<wchar_t> list(path.begin(), path.end());
    list.push_back(L'\0');
    list.push_back(L'\0');
    return list;
}

ShellResult ShellOperation(UINT function, const std::wstring& from, const std::wstring* to,
                           FILEOP_FLAGS flags) {
    std::vector<wchar_t> fromList = DoubleNulList(from);
    std::vector<wchar_t> toList = to ? DoubleNulList(*to) : std::vector<wchar_t>{};
    SHFILEOPSTRUCTW operation{};
    operation.hwnd = OwnerWindow();
    operation.wFunc = function;
    operation.pFrom = fromList.data();
    operation.pTo = to ? toList.data() : nullptr;
    operation.fFlags = flags;
    const int code = ::SHFileOperationW(&operation);
    return {code, operation.fAnyOperationsAborted != FALSE};
}

class Win32FileWriter final : public FileWriter {
public:
    explicit Win32FileWriter(UniqueFile file) : file_(std::move(file)) {}

    bool Write(std::span<const std::byte> data) override {
        while (!data.empty()) {
            const DWORD chunk = data.size() < (1u << 20) ? static_cast<DWORD>(data.size()) : (1u << 20);
            DWORD put = 0;
            if (!::WriteFile(file_.get(), data.data(), chunk, &put, nullptr) || put == 0) return false;
            data = data.subspan(put);
        }
        return true;
    }

    // The time goes on through the handle, so that closing it cannot stamp the file anew.
    bool Finish(std::uint64_t lastWrite) override {
        const FILETIME time{static_cast<DWORD>(lastWrite & 0xFFFFFFFFu), static_cast<DWORD>(lastWrite >> 32)};
        const bool timed = ::SetFileTime(file_.get(), nullptr, nullptr, &time) != FALSE;
        const HANDLE h = file_.release();
        const bool closed = ::CloseHandle(h) != 0;
        return timed && closed;
    }

private:
    UniqueFile file_;
};

std::wstring FormatWith(int (*format)(const SYSTEMTIME&, wchar_t*, int), const SYSTEMTIME& time) {
    const int length = format(time, nullptr, 0);
    if (length <= 0) return {};
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    const int written = format(time, text.data(), length);
    text.resize(written > 0 ? static_cast<std::size_t>(written - 1) : 0);
    return text;
}

}  // namespace

bool Win32Platform::FileExists(const std::wstring& path) {
    const DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool Win32Platform::DirectoryExists(const std::wstring& path) {
    const DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Win32Platform::CreateSingleDirectory(const std::wstring& path) {
    return ::CreateDirectoryW(path.c_str(), nullptr) != FALSE;
}

bool Win32Platform::CopyFileReplacing(const std::wstring& from, const std::wstring& to) {
    return ::CopyFileExW(from.c_str(), to.c_str(), nullptr, nullptr, nullptr, 0) != FALSE;
}

std::unique_ptr<FileWriter> Win32Platform::CreateFileForWriting(const std::wstring& path) {
    // CREATE_ALWAYS refuses to replace a read-only file, and one that is hidden or system unless the
    // new one is too; a failure here shows as the create's.
    MakeReplaceable(path);
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return nullptr;
    return std::make_unique<Win32FileWriter>(std::move(file));
}

bool Win32Platform::SetAttributes(const std::wstring& path, std::uint32_t attributes) {
    // 0 is no attribute at all; Windows spells that FILE_ATTRIBUTE_NORMAL.
    return ::SetFileAttributesW(path.c_str(), attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes) != FALSE;
}

bool Win32Platform::DeleteSingleFile(const std::wstring& path) {
    return ::DeleteFileW(path.c_str()) != FALSE;
}

bool Win32Platform::MakeReplaceable(const std::wstring& path) {
    const DWORD a = Attributes(path);
    constexpr DWORD blocking = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_DIRECTORY) != 0 || (a & blocking) == 0)
        return true;
    const DWORD rest = a & ~blocking;
    return ::SetFileAttributesW(path.c_str(), rest != 0 ? rest : FILE_ATTRIBUTE_NORMAL) != FALSE;
}

std::wstring Win32Platform::ReadIniString(const std::wstring& file, const std::wstring& section,
                                          const std::wstring& key) {
    // GetPrivateProfileStringW reports a value cut short by returning size - 1.
    return GrowingText(2048, [&](wchar_t* buffer, DWORD size) {
        return ::GetPrivateProfileStringW(section.c_str(), key.c_str(), L"", buffer, size, file.c_str());
    });
}

bool Win32Platform::WriteIniString(const std::wstring& file, const std::wstring& section,
                                   const std::wstring& key, const std::wstring& value) {
    return ::WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), file.c_str()) != FALSE;
}

void Win32Platform::FlushIni(const std::wstring& file) {
    ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, file.c_str());
}

RegistryString Win32Platform::ReadMachineString(const std::wstring& key, const std::wstring& value,
                                                bool use64BitView) {
    UniqueKey opened;
    const REGSAM access = KEY_READ | (use64BitView ? KEY_WOW64_64KEY : 0);
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, access, opened.put()) != ERROR_SUCCESS) return {};
    const std::optional<RegistryValue> read = QueryValue(opened.get(), value);
    return {true, read ? read->text : std::wstring()};
}

bool Win32Platform::IsWow64() {
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    const auto isWow64Process = Proc<IsWow64ProcessFn>(::GetModuleHandleW(L"kernel32"), "IsWow64Process");
    if (!isWow64Process) return false;
    BOOL wow64 = FALSE;
    if (!isWow64Process(::GetCurrentProcess(), &wow64)) throw StepError(L"IsWow64: bad process handle");
    return wow64 != FALSE;
}

std::wstring Win32Platform::GetFileFolderPathFromRegistry(const std::wstring& valueName) {
    UniqueKey key;
    for (REGSAM access :
         {static_cast<REGSAM>(KEY_READ),
          static_cast<REGSAM>(STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS),
          static_cast<REGSAM>(KEY_QUERY_VALUE)}) {
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kShellFoldersKey, 0, access, key.put()) == ERROR_SUCCESS)
            break;
    }
    if (!key) return {};
    const std::optional<RegistryValue> value = QueryValue(key.get(), valueName);
    if (!value) return {};
    if (value->type != REG_SZ && value->type != REG_EXPAND_SZ) {
        throw StepError(L"Ungültiger Datentyp für '" + valueName + L"'");
    }
    return value->text;
}

std::wstring Win32Platform::GetShellFolder(int csidl) {
    // The documented contract of this call is a buffer of MAX_PATH characters.
    std::wstring buffer(MAX_PATH, L'\0');
    if (!::SHGetSpecialFolderPathW(OwnerWindow(), buffer.data(), csidl, FALSE)) return {};
    buffer.resize(buffer.find(L'\0'));
    return buffer;
}

std::optional<ProductVersion> Win32Platform::ReadProductVersion(const std::wstring& path) {
    const VersionApi api;
    if (!api) return std::nullopt;
    DWORD ignored = 0;
    const DWORD size = api.size(path.c_str(), &ignored);
    if (size == 0) return std::nullopt;
    std::vector<std::byte> block(size);
    if (!api.info(path.c_str(), 0, size, block.data())) return std::nullopt;
    void* root = nullptr;
    UINT rootSize = 0;
    if (!api.query(block.data(), L"\\", &root, &rootSize) || rootSize < sizeof(VS_FIXEDFILEINFO)) {
        return std::nullopt;
    }
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(root);
    return ProductVersion{HIWORD(fixed->dwProductVersionMS), LOWORD(fixed->dwProductVersionMS),
                          HIWORD(fixed->dwProductVersionLS), LOWORD(fixed->dwProductVersionLS)};
}

ShellResult Win32Platform::CopyFolder(const std::wstring& sourceFolder, const std::wstring& targetFolder) {
    return ShellOperation(FO_COPY, sourceFolder + L"*.*", &targetFolder,
                          FOF_NOCONFIRMATION | FOF_FILESONLY | FOF_NORECURSION);
}

bool Win32Platform::DeleteFiles(const std::wstring& pattern) {
    return ShellOperation(FO_DELETE, pattern, nullptr, FOF_SILENT | FOF_NOCONFIRMATION).code == 0;
}

std::wstring Win32Platform::TempPath() {
    const DWORD needed = ::GetTempPathW(0, nullptr);
    if (needed == 0) return {};
    std::wstring path(needed, L'\0');
    const DWORD written = ::GetTempPathW(needed, path.data());
    path.resize(written < needed ? written : 0);
    return path.substr(0, path.find(L'\0'));
}

std::wstring Win32Platform::ModuleFileName() {
    return GrowingText(MAX_PATH, [](wchar_t* buffer, DWORD size) {
        // On truncation the call returns size; report it as "did not fit".
        const DWORD n = ::GetModuleFileNameW(nullptr, buffer, size);
        return n >= size ? size : n;
    });
}

std::wstring Win32Platform::FullPath(const std::wstring& path) {
    if (path.empty()) return {};
    return GrowingText(MAX_PATH, [&](wchar_t* buffer, DWORD size) {
        // Too small a buffer makes the call return the size it needs; report it as "did not fit".
        const DWORD n = ::GetFullPathNameW(path.c_str(), size, buffer, nullptr);
        return n >= size ? size : n;
    });
}

DateTimeTexts Win32Platform::CurrentDateTimeTexts() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    // The user's current settings, read at this moment: a change of the regional settings while
    // the program runs is honoured.
    const auto date = [](const SYSTEMTIME& t, wchar_t* out, int size) {
        return ::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &t, nullptr, out, size, nullptr);
    };
    const auto time = [](const SYSTEMTIME& t, wchar_t* out, int size) {
        return ::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &t, nullptr, out, size);
    };
    return {FormatWith(date, now), FormatWith(time, now)};
}

}  // namespace mvn

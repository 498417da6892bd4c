// The running programs and the path operations that compare their executables with a directory.
// Only calls that Windows 7 has; a process that may not be queried is listed with an empty path.
#include <windows.h>

#include <tlhelp32.h>

#include "platform/unique_handle_win.h"
#include "platform/win32_platform_win.h"

namespace mvn {
namespace {

// CreateToolhelp32Snapshot reports failure as INVALID_HANDLE_VALUE and is closed with CloseHandle.
using UniqueSnapshot = Unique<InvalidHandleIsEmpty<&::CloseHandle>>;

// The limit of a Windows path with the \\?\ prefix, which an image path may carry.
constexpr std::size_t kLongestPath = 32768;

// PROCESS_QUERY_LIMITED_INFORMATION is granted for far more processes than PROCESS_QUERY_INFORMATION
// (also for elevated ones of the same user); it is all QueryFullProcessImageNameW needs.
std::wstring ImagePathOf(DWORD processId) {
    UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process) return {};
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        DWORD size = static_cast<DWORD>(buffer.size());
        if (::QueryFullProcessImageNameW(process.get(), 0, buffer.data(), &size)) {
            buffer.resize(size);
            return buffer;
        }
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || buffer.size() >= kLongestPath) return {};
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace

std::vector<Platform::RunningProcess> Win32Platform::RunningProcesses() {
    std::vector<RunningProcess> processes;
    UniqueSnapshot snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return processes;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
         more = ::Process32NextW(snapshot.get(), &entry)) {
        processes.push_back({entry.th32ProcessID, ImagePathOf(entry.th32ProcessID)});
    }
    return processes;
}

std::uint32_t Win32Platform::CurrentProcessId() {
    return ::GetCurrentProcessId();
}

std::wstring Win32Platform::LongPath(const std::wstring& path) {
    if (path.empty()) return {};
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        // Too small a buffer makes the call return the size it needs, terminating NUL included.
        const DWORD n = ::GetLongPathNameW(path.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n < buffer.size()) {
            buffer.resize(n);
            return buffer;
        }
        if (n > kLongestPath) return {};
        buffer.resize(n);
    }
}

int Win32Platform::CompareOrdinalIgnoreCase(const std::wstring& a, const std::wstring& b) {
    // Paths are far below INT_MAX characters; the file system's own limit is kLongestPath.
    const int result = ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                              static_cast<int>(b.size()), TRUE);
    return result - CSTR_EQUAL;
}

}  // namespace mvn

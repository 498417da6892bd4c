// The running programs and the path operations that compare their executables with a directory.
// Only calls that Windows 7 has; a process that may not be queried is listed with an empty path.
#include <windows.h>

#include <tlhelp32.h>

#include "platform/growing_text_win.h"
#include "platform/unique_handle_win.h"
#include "platform/win32_platform_win.h"

namespace mvn {
namespace {

// CreateToolhelp32Snapshot reports failure as INVALID_HANDLE_VALUE and is closed with CloseHandle.
using UniqueSnapshot = Unique<InvalidHandleIsEmpty<&::CloseHandle>>;

// PROCESS_QUERY_LIMITED_INFORMATION is granted for far more processes than PROCESS_QUERY_INFORMATION
// (also for elevated ones of the same user); it is all QueryFullProcessImageNameW needs.
std::wstring ImagePathOf(DWORD processId) {
    UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process) return {};
    return GrowingText(MAX_PATH, [&](wchar_t* buffer, DWORD size) {
        DWORD written = size;
        if (::QueryFullProcessImageNameW(process.get(), 0, buffer, &written)) return written;
        // Too small a buffer is the one failure worth another try; any other leaves the path unread.
        return ::GetLastError() == ERROR_INSUFFICIENT_BUFFER ? size : 0;
    });
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
    return GrowingText(MAX_PATH, [&](wchar_t* buffer, DWORD size) {
        // Too small a buffer makes the call return the size it needs; report it as "did not fit".
        const DWORD n = ::GetLongPathNameW(path.c_str(), buffer, size);
        return n >= size ? size : n;
    });
}

int Win32Platform::CompareOrdinalIgnoreCase(const std::wstring& a, const std::wstring& b) {
    // Paths are far below INT_MAX characters; a Windows path has at most 32 767.
    const int result = ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                              static_cast<int>(b.size()), TRUE);
    return result - CSTR_EQUAL;
}

}  // namespace mvn

#include "platform/dll_search_win.h"

#include <string>

namespace mvn {
namespace {

template <class Function>
Function LookUp(HMODULE module, const char* name) noexcept {
    // Through void(*)() so that -Wcast-function-type accepts the cast from FARPROC.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

std::wstring SystemDirectory() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const UINT length = ::GetSystemDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.resize(length);  // the size needed, terminator included
    }
}

}  // namespace

void HardenDllSearch() noexcept {
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    if (!kernel) return;
    const auto setDefault = LookUp<SetDefaultDllDirectoriesFn>(kernel, "SetDefaultDllDirectories");
    if (setDefault) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

UniqueModule LoadSystemLibrary(const wchar_t* fileName) {
    UniqueModule module{::LoadLibraryExW(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)};
    // Without the search-flag update Windows 7 rejects the flag; a full path is then just as safe.
    if (!module && ::GetLastError() == ERROR_INVALID_PARAMETER) {
        const std::wstring directory = SystemDirectory();
        if (!directory.empty()) {
            const std::wstring path = directory + L'\\' + fileName;
            module.reset(::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
        }
    }
    return module;
}

}  // namespace mvn

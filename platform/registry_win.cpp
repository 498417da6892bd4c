#include "platform/registry_win.h"

#include <vector>

namespace mvn {

std::optional<RegistryValue> QueryValue(HKEY key, const std::wstring& name) {
    DWORD type = REG_NONE;
    DWORD bytes = 0;
    LONG rc = ::RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &bytes);
    if (rc != ERROR_SUCCESS) return std::nullopt;
    RegistryValue value{type, {}};
    if (type != REG_SZ && type != REG_EXPAND_SZ) return value;
    // The value may change between the calls; grow until it fits. A stored string need not be
    // terminated, so room for one more character is kept and the text is cut at the first NUL.
    std::vector<wchar_t> buffer;
    do {
        buffer.assign(bytes / sizeof(wchar_t) + 2, L'\0');
        bytes = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
        rc = ::RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                                &bytes);
    } while (rc == ERROR_MORE_DATA);
    if (rc != ERROR_SUCCESS) return std::nullopt;
    value.type = type;
    if (type == REG_SZ || type == REG_EXPAND_SZ) value.text.assign(buffer.data());
    return value;
}

}  // namespace mvn

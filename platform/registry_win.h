#pragma once
#include <windows.h>

#include <optional>
#include <string>

namespace mvn {

struct RegistryValue {
    DWORD type = REG_NONE;
    std::wstring text;  // for string types: cut at the first NUL, terminated or not
};

// The value's type and, for REG_SZ / REG_EXPAND_SZ, its text (not expanded). nullopt when missing.
std::optional<RegistryValue> QueryValue(HKEY key, const std::wstring& name);

}  // namespace mvn

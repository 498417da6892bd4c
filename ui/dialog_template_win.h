#pragma once
// An in-memory DLGTEMPLATE for DialogBoxIndirectParamW. Positions are left at zero: the dialog lays
// its controls out in pixels when it starts, from the measured text.
#include <windows.h>

#include <string_view>
#include <vector>

namespace mvn {

enum class ControlClass : WORD { Button = 0x0080, Static = 0x0082 };

class DialogTemplate {
public:
    DialogTemplate(DWORD style, DWORD extendedStyle, std::wstring_view caption);
    void AddControl(ControlClass kind, WORD id, DWORD style, std::wstring_view text);
    const DLGTEMPLATE* get() const noexcept { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    void AddWord(WORD value) { words_.push_back(value); }
    void AddDword(DWORD value);
    void AddString(std::wstring_view text);
    void AlignToDword();

    std::vector<WORD> words_;  // operator new aligns the start for DWORD access
};

}  // namespace mvn

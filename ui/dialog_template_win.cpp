#include "ui/dialog_template_win.h"

namespace mvn {
namespace {

constexpr std::size_t kControlCountAt = 4;  // the cdit field: after style and extended style

}  // namespace

DialogTemplate::DialogTemplate(DWORD style, DWORD extendedStyle, std::wstring_view caption) {
    AddDword(style);
    AddDword(extendedStyle);
    AddWord(0);                              // cdit, counted up by AddControl
    for (int i = 0; i < 4; ++i) AddWord(0);  // x, y, cx, cy
    AddWord(0);                              // no menu
    AddWord(0);                              // the predefined dialog class
    AddString(caption);
}

void DialogTemplate::AddControl(ControlClass kind, WORD id, DWORD style, std::wstring_view text) {
    AlignToDword();
    AddDword(style | WS_CHILD | WS_VISIBLE);
    AddDword(0);                             // extended style
    for (int i = 0; i < 4; ++i) AddWord(0);  // x, y, cx, cy
    AddWord(id);
    AddWord(0xFFFF);  // the class follows as an atom
    AddWord(static_cast<WORD>(kind));
    AddString(text);
    AddWord(0);  // no creation data
    ++words_[kControlCountAt];
}

void DialogTemplate::AddDword(DWORD value) {
    AddWord(LOWORD(value));
    AddWord(HIWORD(value));
}

void DialogTemplate::AddString(std::wstring_view text) {
    for (wchar_t c : text) AddWord(static_cast<WORD>(c));
    AddWord(0);
}

void DialogTemplate::AlignToDword() {
    if (words_.size() % 2 != 0) AddWord(0);
}

}  // namespace mvn

#pragma once
// The main window of each deliverable as data, in pixels at 96 DPI. The window code scales every
// value by the system DPI.
#include <string_view>

namespace mvn {

struct ControlRect {
    int left = 0, top = 0, width = 0, height = 0;
};

enum class FrameKind {
    Resizable,             // ordinary frame, system menu, minimise, maximise, close
    FixedDialogNoButtons,  // dialog frame, not resizable, no title-bar buttons or system menu
};

enum class Placement {
    DesktopCentre,   // centred on the whole virtual desktop
    WorkAreaCentre,  // centred in the work area of the window's monitor
};

// How CollapseLog / ExpandLog size the window.
enum class HeightRule {
    ClientFromButtons,  // client = button top + button height + status height + 40; later saved + 180
    FixedOuter,         // outer height 170 collapsed, 340 enlarged
};

struct WindowLayout {
    std::wstring_view title;
    int clientWidth = 0;
    int clientHeight = 0;
    FrameKind frame = FrameKind::Resizable;
    Placement placement = Placement::DesktopCentre;
    ControlRect btAbbruch, btWeiter, logEdit, statusBar;
    int statusPanelWidth = 380;
    bool logFirstInTabOrder = false;  // tab order REd_Ergebnis, BtAbbruch, BtWeiter
    HeightRule heightRule = HeightRule::ClientFromButtons;
};

inline constexpr int kCollapseExtra = 40;
inline constexpr int kLogHeight = 180;
inline constexpr int kCollapsedOuterHeight = 170;
inline constexpr int kExpandedOuterHeight = 340;

}  // namespace mvn

#pragma once
// Every text that installation discovery shows, in one place. Quoted exactly as the users know them.
#include <string_view>

namespace mvn::text {

inline constexpr std::wstring_view kM0InstallDirUnknown =
    L"Das Installationsverzeichnis von Morvane konnte nicht ermittelt werden!\nDas Update wird abgebrochen!";
inline constexpr std::wstring_view kM1IniDirUnknown =
    L"Das Morvane-Inidateiverzeichnis konnte nicht ermittelt werden!\nDas Update wird abgebrochen!";
inline constexpr std::wstring_view kM2MainIniMissing =
    L"Die Ini-Datei \"morvane.ini\" wurde nicht gefunden!\nDas Update wird abgebrochen!";
inline constexpr std::wstring_view kM3DataDirUnknown =
    L"Das Morvane - Datenverzeichnis konnte nicht ermittelt werden!\nDas Update wird abgebrochen!";
inline constexpr std::wstring_view kM4CommonAppDataUnknown =
    L"Der Standard-Ordner für Anwendungsdaten konnte nicht ermittelt werden!\nDas Update wird abgebrochen!";
inline constexpr std::wstring_view kM5AllUsersAppDataUnknown =
    L"Der Ordner \"All Users\\Anwendungsdaten\" konnte nicht ermittelt werden!\nDas Update wird abgebrochen!";

inline constexpr std::wstring_view kL1IniDir = L"Morvane-Inidateiverzeichnis - Fehler";
inline constexpr std::wstring_view kL2MainIni = L"morvane.ini nicht gefunden - Fehler";
inline constexpr std::wstring_view kL3DataDir = L"Morvane-Datenverzeichnis - Fehler";
inline constexpr std::wstring_view kL4CommonAppData = L"CommonAppData - Fehler";

inline constexpr std::wstring_view kV1AlreadyVersion10 =
    L"Im angegebenen Verzeichnis existiert bereits ein Morvane der Version 10!\nDas Update wird abgebrochen!";
inline constexpr std::wstring_view kV2UnknownVersion =
    L"Im angegebenen Verzeichnis existiert eine unbekannte Morvane-Version!\nBitte entfernen Sie zuerst "
    L"diese "
    L"Version!\nDas Update wird abgebrochen!";
inline constexpr std::wstring_view kV3ConfirmUpdate =
    L"Im angegebenen Verzeichnis wurde eine updatefähige Morvane-Version gefunden,\ndie nicht über diesen PC "
    L"installiert wurde.\nSoll die Update-Installation fortgestzt werden?";
inline constexpr std::wstring_view kV4Head =
    L"Im angegebenen Verzeichnis wurde eine NICHT updatefähige Morvane - Version ";
inline constexpr std::wstring_view kV4Tail =
    L" gefunden,\ndie nicht über diesen PC installiert wurde.\nDieses Update wird abgebrochen!";
inline constexpr std::wstring_view kV5NeedsVersion9 =
    L"Für ein Update muss die Version 9 installiert sein!\nBitte führen Sie zuerst ein Update auf diese "
    L"Version "
    L"durch!\nDieses Update wird abgebrochen!";

inline constexpr std::wstring_view kUsersSignedIn =
    L"Es sind noch Anwender in Morvane angemeldet!\nDas Update wird abgebrochen!";

// The running program's full path stands between the two.
inline constexpr std::wstring_view kProgramRunningHead =
    L"Auf diesem PC läuft noch ein Programm aus dem Morvane-Verzeichnis:\n";
inline constexpr std::wstring_view kProgramRunningTail =
    L"\nBitte beenden Sie es zuerst!\nDas Update wird abgebrochen!";

}  // namespace mvn::text

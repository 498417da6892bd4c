#pragma once
// The lines and status texts with which the chain reports its progress.
#include <string_view>

namespace mvn::text {

inline constexpr std::wstring_view kUsersOk = L"Benutzeranzahl - OK";
inline constexpr std::wstring_view kDataPathOk = L"Morvane-Datenpfad - OK";
inline constexpr std::wstring_view kVersionOk = L"Morvane-Version - OK";
inline constexpr std::wstring_view kArchiveAnnounce =
    L"Die vorherige Morvane Installation wird gesichert ...";
inline constexpr std::wstring_view kArchiveOk = L"Morvane Sicherung - OK";
inline constexpr std::wstring_view kArchiveFailed = L"Fehler bei der Sicherung des Alt-Programms";
inline constexpr std::wstring_view kFormsAnnounce = L"Sicherung der Formularkataloge ...";
inline constexpr std::wstring_view kFormsStatus = L"Sicherung der Formularkataloge wird erstellt ...";
inline constexpr std::wstring_view kFormsOk = L"Sicherung Formularkataloge - OK";
inline constexpr std::wstring_view kAidsAnnounce = L"Sicherung der Formulierungshilfen wird erstellt ...";
inline constexpr std::wstring_view kAidsOk = L"Sicherung Formulierungshilfen - OK";
inline constexpr std::wstring_view kCanonAnnounce = L"Sicherung des Fächerkanons wird erstellt ...";
inline constexpr std::wstring_view kCanonOk = L"Sicherung Fächerkanon - OK";
inline constexpr std::wstring_view kNkkAnnounce = L"Sicherung der NKK-Dateien wird erstellt ...";
inline constexpr std::wstring_view kNkkOk = L"Sicherung NKK-Dateien - OK";

}  // namespace mvn::text

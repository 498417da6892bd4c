#pragma once
// Backup copies of the data files the update replaces, each beside its original under "MVN_Bkp_".
#include <array>
#include <string>
#include <string_view>

#include "steps/step.h"

namespace mvn {

inline constexpr std::wstring_view kBackupPrefix = L"MVN_Bkp_";

// Letter case exactly as the application names its files; the copies take the same letters.
inline constexpr std::array<std::wstring_view, 12> BackupFileNames = {
    L"Formulare.dbf",    L"Formulare.cdx",    L"Beiblaetter.dbf",  L"Beiblaetter.cdx",
    L"Deckblaetter.dbf", L"Deckblaetter.cdx", L"FAECHERKANON.dbf", L"FaecherKanon.cdx",
    L"NKK_FAECHER.DBF",  L"NKK_Faecher.CDX",  L"NKK_NOTEN.DBF",    L"NKK_Noten.CDX",
};

int BackupFormKatalog(StepContext& context);
int BackupFormHilfePfad(StepContext& context);
int BackupFaecherkanon(StepContext& context);
int BackupNKK(StepContext& context);

// Creates the folder and every missing level above it; an existing folder counts as success.
bool ForceDirectories(Platform& platform, std::wstring path);

inline constexpr std::wstring_view kBackupFolderFailed =
    L"Das Backup-Verzeichnis konnte nicht erstellt werden\nDas Update wird abgebrochen!";

}  // namespace mvn

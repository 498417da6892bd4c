#pragma once
// The part of the chain both deliverables share: the four backups and the update record.
#include "app/chain.h"
#include "app/chain_texts.h"
#include "backup/data_backups.h"
#include "backup/update_record.h"

namespace mvn {

inline constexpr ChainStep kBackupFormKatalogStep{L"BackupFormKatalog",
                                                  text::kFormsAnnounce,
                                                  text::kFormsStatus,
                                                  &BackupFormKatalog,
                                                  {Follow::OkLine, text::kFormsOk}};
inline constexpr ChainStep kBackupFormHilfePfadStep{L"BackupFormHilfePfad",
                                                    text::kAidsAnnounce,
                                                    text::kAidsAnnounce,
                                                    &BackupFormHilfePfad,
                                                    {Follow::OkLine, text::kAidsOk}};
inline constexpr ChainStep kBackupFaecherkanonStep{L"BackupFaecherkanon",
                                                   text::kCanonAnnounce,
                                                   text::kCanonAnnounce,
                                                   &BackupFaecherkanon,
                                                   {Follow::OkLine, text::kCanonOk}};
inline constexpr ChainStep kBackupNKKStep{
    L"BackupNKK", text::kNkkAnnounce, text::kNkkAnnounce, &BackupNKK, {Follow::OkLine, text::kNkkOk}};
// Its result is not looked at: once the backups succeeded, the run has succeeded.
inline constexpr ChainStep kSchreibeIniStep{L"SchreibeIni",
                                            {},
                                            {},
                                            &SchreibeIniSucceeded,
                                            {Follow::FinishSucceeded, {}},
                                            {Follow::FinishSucceeded, {}}};

}  // namespace mvn

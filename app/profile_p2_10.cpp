#include "app/backup_chain.h"
#include "app/profile.h"
#include "backup/install_archive_step.h"
#include "discovery/locator.h"
#include "discovery/running_programs.h"
#include "discovery/user_check.h"
#include "discovery/version_check.h"

namespace mvn {
namespace {

constexpr ChainStep kChain[] = {
    {L"PruefeMVNIni", {}, {}, &PruefeMVNIniP2, {Follow::Nothing, {}}},
    {L"PruefeMVNUser", {}, {}, &PruefeMVNUserP2, {Follow::OkLine, text::kUsersOk}},
    {L"PruefeLaufendeProgramme", {}, {}, &PruefeLaufendeProgrammeP2, {Follow::Nothing, {}}},
    {L"SaveMVNInst",
     text::kArchiveAnnounce,
     {},
     &SaveMVNInst,
     {Follow::OkLine, text::kArchiveOk},
     {Follow::OkLine, text::kArchiveFailed}},
    kBackupFormKatalogStep,
    kBackupFormHilfePfadStep,
    kBackupFaecherkanonStep,
    kBackupNKKStep,
    kSchreibeIniStep,
};

constexpr WindowLayout kLayout{
    .title = L"Morvane Updater",
    .clientWidth = 388,
    .clientHeight = 301,
    .frame = FrameKind::Resizable,
    .placement = Placement::DesktopCentre,
    .btAbbruch = {210, 50, 85, 25},
    .btWeiter = {296, 50, 85, 25},
    .logEdit = {0, 121, 388, 180},
    .statusBar = {0, 102, 388, 19},
    .statusPanelWidth = 380,
    .logFirstInTabOrder = false,
    .heightRule = HeightRule::ClientFromButtons,
};

const Profile kProfile{kLayout, true, &VersionDecisionP2, kChain, &RestoreInstallation};

}  // namespace

const Profile& ProfileP2_10() {
    return kProfile;
}

}  // namespace mvn

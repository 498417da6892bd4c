#include "app/backup_chain.h"
#include "app/profile.h"
#include "discovery/locator.h"
#include "discovery/running_programs.h"
#include "discovery/user_check.h"
#include "discovery/version_check.h"

namespace mvn {
namespace {

constexpr ChainStep kChain[] = {
    {L"PruefeMVNIni", {}, {}, &PruefeMVNIni10, {Follow::LogLineAndPump, text::kDataPathOk}},
    {L"CheckMVNExe", {}, {}, &CheckMVNExe10, {Follow::LogLineAndPump, text::kVersionOk}},
    {L"PruefeMVNUser", {}, {}, &PruefeMVNUser10, {Follow::OkLine, text::kUsersOk}},
    {L"PruefeLaufendeProgramme", {}, {}, &PruefeLaufendeProgramme10, {Follow::Nothing, {}}},
    kBackupFormKatalogStep,
    kBackupFormHilfePfadStep,
    kBackupFaecherkanonStep,
    kBackupNKKStep,
    kSchreibeIniStep,
};

constexpr WindowLayout kLayout{
    .title = L"Morvane-Updater",
    .clientWidth = 389,
    .clientHeight = 311,
    .frame = FrameKind::FixedDialogNoButtons,
    .placement = Placement::WorkAreaCentre,
    .btAbbruch = {208, 55, 85, 25},
    .btWeiter = {299, 55, 85, 25},
    .logEdit = {0, 112, 389, 180},
    .statusBar = {0, 292, 389, 19},
    .statusPanelWidth = 380,
    .logFirstInTabOrder = true,
    .heightRule = HeightRule::FixedOuter,
};

const Profile kProfile{kLayout, false, nullptr, kChain};

}  // namespace

const Profile& Profile10() {
    return kProfile;
}

}  // namespace mvn

#pragma once
// The archive step of MVNUpdaterP2_10, run as the program runs it (SaveMVNInst over the given
// platform and archiver) with every call into them timed and booked to the phase it serves. The
// step's own code stays free of clocks; what it does between the calls shows up as "rest".
#include <cstdio>
#include <string>
#include <vector>

#include "backup/zip_install_archiver.h"
#include "platform/platform.h"

namespace mvn::bench {

struct Phase {
    const char* name = "";
    double seconds = 0;
    int calls = 0;
};

struct StepTimes {
    int result = 1;             // SaveMVNInst's
    double total = 0;           // the whole of SaveMVNInst
    std::vector<Phase> phases;  // write, read-back, start-ini, emptying, copy-back, other (platform calls)
    std::string problem;        // set when the calls did not come in the step's order
};

// WriteArchive and, unless verify is false, VerifyArchive, each timed.
struct ArchiveTimes {
    bool ok = false;
    double write = 0;
    double readBack = 0;
};
ArchiveTimes RunTimedArchive(ZipInstallArchiver& archiver, const std::wstring& archivePath,
                             const std::wstring& installDir, const std::wstring& ownModulePath, bool verify);

// "name seconds" lines that tools/bench reads.
void PrintTimes(std::FILE* out, const ArchiveTimes& times);
void PrintTimes(std::FILE* out, const StepTimes& times);

// Empties installDir exactly as the program's step does, leaving the archive in it and in the
// platform's temporary folder.
StepTimes RunTimedStep(Platform& platform, ZipInstallArchiver& archiver, const std::wstring& installDir);

}  // namespace mvn::bench

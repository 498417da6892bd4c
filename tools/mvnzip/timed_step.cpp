#include "tools/mvnzip/timed_step.h"

#include <array>
#include <chrono>
#include <optional>
#include <stdexcept>
#include <utility>

#include "backup/install_archive_step.h"
#include "steps/step.h"

namespace mvn::bench {

namespace {

using Clock = std::chrono::steady_clock;

enum PhaseId { kWrite, kReadBack, kStartIni, kSecondWalk, kEmptying, kCopyBack, kOther, kPhaseCount };

// Which part of the step the calls belong to follows from the two calls that divide it: the
// archive, after which files are saved, and the deletion, after which they are put back.
enum class Stage { BeforeArchive, AfterArchive, AfterEmptying };

class Ledger {
public:
    Ledger()
        : phases_{{{"write"},
                   {"read-back"},
                   {"start-ini"},
                   {"second-walk"},
                   {"emptying"},
                   {"copy-back"},
                   {"other"}}} {}

    template <typename F>
    auto Timed(PhaseId id, F&& call) {
        const Clock::time_point start = Clock::now();
        struct Booking {
            Phase& phase;
            Clock::time_point start;
            ~Booking() {
                phase.seconds += std::chrono::duration<double>(Clock::now() - start).count();
                ++phase.calls;
            }
        } booking{phases_[id], start};
        return std::forward<F>(call)();
    }
    // A file call's phase: saving the start INI before the deletion, putting files back after it.
    PhaseId FilePhase() const {
        if (stage == Stage::AfterArchive) return kStartIni;
        if (stage == Stage::AfterEmptying) return kCopyBack;
        return kOther;
    }
    std::vector<Phase> Phases() const { return {phases_.begin(), phases_.end()}; }
    const Phase& operator[](PhaseId id) const { return phases_[id]; }

    Stage stage = Stage::BeforeArchive;

private:
    std::array<Phase, kPhaseCount> phases_;
};

class TimedArchiver final : public InstallArchiver {
public:
    TimedArchiver(ZipInstallArchiver& inner, Ledger& ledger) : inner_(inner), ledger_(ledger) {}

    // The two halves in the order ZipInstallArchiver::WriteVerifiedArchive runs them.
    bool WriteVerifiedArchive(const std::wstring& archivePath, const std::wstring& installDir,
                              const std::wstring& ownModulePath) override {
        const bool written = ledger_.Timed(
            kWrite, [&] { return inner_.WriteArchive(archivePath, installDir, ownModulePath); });
        const bool ok =
            written && ledger_.Timed(kReadBack, [&] { return inner_.VerifyArchive(archivePath); });
        ledger_.stage = Stage::AfterArchive;
        return ok;
    }
    const WalkSnapshot& Walked() const override { return inner_.Walked(); }
    bool StillAsWalked(const std::wstring& installDir) override {
        return ledger_.Timed(kSecondWalk, [&] { return inner_.StillAsWalked(installDir); });
    }
    bool RestoreInstallation(const std::wstring& archivePath, const std::wstring& installDir,
                             Platform& platform) override {
        return ledger_.Timed(kOther,
                             [&] { return inner_.RestoreInstallation(archivePath, installDir, platform); });
    }

private:
    ZipInstallArchiver& inner_;
    Ledger& ledger_;
};

class TimedPlatform final : public Platform {
public:
    TimedPlatform(Platform& inner, Ledger& ledger) : inner_(inner), ledger_(ledger) {}

    // Calls the step does not make today, so that one it starts making is still counted.
    template <typename F>
    auto Other(F&& call) {
        return ledger_.Timed(kOther, std::forward<F>(call));
    }

    bool FileExists(const std::wstring& path) override {
        return ledger_.Timed(ledger_.FilePhase(), [&] { return inner_.FileExists(path); });
    }
    bool CopyFileReplacing(const std::wstring& from, const std::wstring& to) override {
        return ledger_.Timed(ledger_.FilePhase(), [&] { return inner_.CopyFileReplacing(from, to); });
    }
    bool MakeReplaceable(const std::wstring& path) override {
        return ledger_.Timed(ledger_.FilePhase(), [&] { return inner_.MakeReplaceable(path); });
    }
    bool DeleteFiles(const std::wstring& pattern) override {
        const bool ok = ledger_.Timed(kEmptying, [&] { return inner_.DeleteFiles(pattern); });
        ledger_.stage = Stage::AfterEmptying;
        return ok;
    }

    bool DirectoryExists(const std::wstring& path) override {
        return Other([&] { return inner_.DirectoryExists(path); });
    }
    bool CreateSingleDirectory(const std::wstring& path) override {
        return Other([&] { return inner_.CreateSingleDirectory(path); });
    }
    std::wstring ReadIniString(const std::wstring& file, const std::wstring& section,
                               const std::wstring& key) override {
        return Other([&] { return inner_.ReadIniString(file, section, key); });
    }
    bool WriteIniString(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                        const std::wstring& value) override {
        return Other([&] { return inner_.WriteIniString(file, section, key, value); });
    }
    void FlushIni(const std::wstring& file) override {
        Other([&] { inner_.FlushIni(file); });
    }
    RegistryString ReadMachineString(const std::wstring& key, const std::wstring& value,
                                     bool use64BitView) override {
        return Other([&] { return inner_.ReadMachineString(key, value, use64BitView); });
    }
    bool IsWow64() override {
        return Other([&] { return inner_.IsWow64(); });
    }
    std::wstring GetFileFolderPathFromRegistry(const std::wstring& valueName) override {
        return Other([&] { return inner_.GetFileFolderPathFromRegistry(valueName); });
    }
    std::wstring GetShellFolder(int csidl) override {
        return Other([&] { return inner_.GetShellFolder(csidl); });
    }
    std::optional<ProductVersion> ReadProductVersion(const std::wstring& path) override {
        return Other([&] { return inner_.ReadProductVersion(path); });
    }
    ShellResult CopyFolder(const std::wstring& sourceFolder, const std::wstring& targetFolder) override {
        return Other([&] { return inner_.CopyFolder(sourceFolder, targetFolder); });
    }
    std::wstring TempPath() override {
        return Other([&] { return inner_.TempPath(); });
    }
    std::wstring ModuleFileName() override {
        return Other([&] { return inner_.ModuleFileName(); });
    }
    std::wstring FullPath(const std::wstring& path) override {
        return Other([&] { return inner_.FullPath(path); });
    }
    DateTimeTexts CurrentDateTimeTexts() override {
        return Other([&] { return inner_.CurrentDateTimeTexts(); });
    }
    std::unique_ptr<FileWriter> CreateFileForWriting(const std::wstring& path) override {
        return Other([&] { return inner_.CreateFileForWriting(path); });
    }
    bool SetAttributes(const std::wstring& path, std::uint32_t attributes) override {
        return Other([&] { return inner_.SetAttributes(path, attributes); });
    }
    bool DeleteSingleFile(const std::wstring& path) override {
        return Other([&] { return inner_.DeleteSingleFile(path); });
    }
    std::vector<RunningProcess> RunningProcesses() override {
        return Other([&] { return inner_.RunningProcesses(); });
    }
    std::uint32_t CurrentProcessId() override {
        return Other([&] { return inner_.CurrentProcessId(); });
    }
    std::wstring LongPath(const std::wstring& path) override {
        return Other([&] { return inner_.LongPath(path); });
    }
    int CompareOrdinalIgnoreCase(const std::wstring& a, const std::wstring& b) override {
        return Other([&] { return inner_.CompareOrdinalIgnoreCase(a, b); });
    }

private:
    Platform& inner_;
    Ledger& ledger_;
};

// Nobody watches the tool's step: no window, no cursor, no messages.
class SilentView final : public View {
public:
    void AddLogLine(const std::wstring&) override {}
    void SetStatusText(const std::wstring&) override {}
    void ShowError(const std::wstring&) override {}
    bool AskYesNo(const std::wstring&) override { return false; }
    void ProcessPendingMessages() override {}
    void BringToFront() override {}
    void CollapseLog() override {}
    void ExpandLog() override {}
    void Pause(unsigned) override {}
    void SetWaitCursor() override {}
    void RestoreCursor() override {}
    [[noreturn]] void EndProcess(int) override {
        throw std::logic_error("the archive step ended the process");
    }
};

// The breakdown is only worth printing when the step made the calls the phases stand for.
std::string OrderProblem(const Ledger& ledger, int result) {
    if (result != 0) return "the step failed";
    if (ledger[kWrite].calls != 1 || ledger[kReadBack].calls != 1) return "the archive was not written once";
    if (ledger[kEmptying].calls != 1) return "the directory was not emptied once";
    if (ledger[kCopyBack].calls == 0) return "nothing was copied back";
    return {};
}

}  // namespace

ArchiveTimes RunTimedArchive(ZipInstallArchiver& archiver, const std::wstring& archivePath,
                             const std::wstring& installDir, const std::wstring& ownModulePath, bool verify) {
    ArchiveTimes times;
    Clock::time_point start = Clock::now();
    times.ok = archiver.WriteArchive(archivePath, installDir, ownModulePath);
    times.write = std::chrono::duration<double>(Clock::now() - start).count();
    if (times.ok && verify) {
        start = Clock::now();
        times.ok = archiver.VerifyArchive(archivePath);
        times.readBack = std::chrono::duration<double>(Clock::now() - start).count();
    }
    return times;
}

void PrintTimes(std::FILE* out, const ArchiveTimes& times) {
    std::fprintf(out, "write %.3f\nread-back %.3f\ntotal %.3f\n", times.write, times.readBack,
                 times.write + times.readBack);
}

void PrintTimes(std::FILE* out, const StepTimes& times) {
    double booked = 0;
    for (const Phase& phase : times.phases) {
        std::fprintf(out, "%s %.3f %d\n", phase.name, phase.seconds, phase.calls);
        booked += phase.seconds;
    }
    std::fprintf(out, "rest %.3f\ntotal %.3f\n", times.total - booked, times.total);
}

StepTimes RunTimedStep(Platform& platform, ZipInstallArchiver& archiver, const std::wstring& installDir) {
    Ledger ledger;
    TimedPlatform timedPlatform(platform, ledger);
    TimedArchiver timedArchiver(archiver, ledger);
    SilentView view;
    RunState state;
    state.CmdLineDir = installDir;
    StepContext context{state, view, timedPlatform, &timedArchiver};

    StepTimes times;
    const Clock::time_point start = Clock::now();
    times.result = SaveMVNInst(context);
    times.total = std::chrono::duration<double>(Clock::now() - start).count();
    times.phases = ledger.Phases();
    times.problem = OrderProblem(ledger, times.result);
    return times;
}

}  // namespace mvn::bench

#pragma once
// The archive's file port with every call timed, so that a run can say how much of its time went to
// the file system (natively, or through Wine) and how much to zlib and the ZIP code between the calls.
#include <array>
#include <chrono>
#include <memory>
#include <vector>

#include "backup/zip/archive_files.h"
#include "tools/mvnzip/timed_step.h"

namespace mvn::bench {

enum FileCall {
    kList,
    kOpenFile,
    kReadFile,
    kCloseFile,
    kCreateArchive,
    kWriteArchive,
    kSeekArchive,
    kCommitArchive,
    kOpenArchive,
    kReadArchive,
    kFileCallCount
};

class CallTimes {
public:
    template <typename F>
    auto Timed(FileCall call, F&& f) {
        const auto start = std::chrono::steady_clock::now();
        struct Booking {
            Phase& phase;
            std::chrono::steady_clock::time_point start;
            ~Booking() {
                phase.seconds +=
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                ++phase.calls;
            }
        } booking{calls_[call], start};
        return f();
    }
    std::vector<Phase> All() const { return {calls_.begin(), calls_.end()}; }

private:
    std::array<Phase, kFileCallCount> calls_{{{"list"},
                                              {"file-open"},
                                              {"file-read"},
                                              {"file-close"},
                                              {"archive-create"},
                                              {"archive-write"},
                                              {"archive-seek"},
                                              {"archive-commit"},
                                              {"archive-open"},
                                              {"archive-read"}}};
};

class TimedFiles final : public ArchiveFiles {
public:
    explicit TimedFiles(ArchiveFiles& inner) : inner_(inner) {}

    std::optional<std::vector<DirEntry>> List(const std::wstring& pattern) override;
    std::unique_ptr<Source> OpenFile(const std::wstring& path) override;
    std::unique_ptr<Sink> CreateArchive(const std::wstring& path) override;
    std::unique_ptr<RandomAccessSource> OpenArchive(const std::wstring& path) override;

    // One line per kind of call: seconds spent inside it and how often it was made.
    std::vector<Phase> Calls() const { return times_.All(); }

private:
    ArchiveFiles& inner_;
    CallTimes times_;
};

// "io:name seconds calls" lines after those of PrintTimes.
void PrintCalls(std::FILE* out, const std::vector<Phase>& calls);

}  // namespace mvn::bench

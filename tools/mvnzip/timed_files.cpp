#include "tools/mvnzip/timed_files.h"

#include <utility>

namespace mvn::bench {

namespace {

class TimedSource final : public Source {
public:
    TimedSource(std::unique_ptr<Source> inner, CallTimes& times) : inner_(std::move(inner)), times_(times) {}
    // Closing the handle is a file call of its own (under Wine a server round trip).
    ~TimedSource() override {
        times_.Timed(kCloseFile, [&] {
            inner_.reset();
            return 0;
        });
    }
    std::optional<std::size_t> Read(std::span<std::byte> buffer) override {
        return times_.Timed(kReadFile, [&] { return inner_->Read(buffer); });
    }
    std::uint64_t Size() const override { return inner_->Size(); }
    LocalTime LastWriteTime() const override { return inner_->LastWriteTime(); }
    std::uint32_t Attributes() const override { return inner_->Attributes(); }

private:
    std::unique_ptr<Source> inner_;
    CallTimes& times_;
};

class TimedSink final : public Sink {
public:
    TimedSink(std::unique_ptr<Sink> inner, CallTimes& times) : inner_(std::move(inner)), times_(times) {}
    bool Write(std::span<const std::byte> data) override {
        return times_.Timed(kWriteArchive, [&] { return inner_->Write(data); });
    }
    std::uint64_t Tell() const override { return inner_->Tell(); }
    bool Seek(std::uint64_t position) override {
        return times_.Timed(kSeekArchive, [&] { return inner_->Seek(position); });
    }
    bool Commit() override {
        return times_.Timed(kCommitArchive, [&] { return inner_->Commit(); });
    }

private:
    std::unique_ptr<Sink> inner_;
    CallTimes& times_;
};

class TimedReader final : public RandomAccessSource {
public:
    TimedReader(std::unique_ptr<RandomAccessSource> inner, CallTimes& times)
        : inner_(std::move(inner)), times_(times) {}
    bool ReadAt(std::uint64_t offset, std::span<std::byte> buffer) override {
        return times_.Timed(kReadArchive, [&] { return inner_->ReadAt(offset, buffer); });
    }
    std::uint64_t Size() const override { return inner_->Size(); }

private:
    std::unique_ptr<RandomAccessSource> inner_;
    CallTimes& times_;
};

}  // namespace

std::optional<std::vector<DirEntry>> TimedFiles::List(const std::wstring& pattern) {
    return times_.Timed(kList, [&] { return inner_.List(pattern); });
}

std::unique_ptr<Source> TimedFiles::OpenFile(const std::wstring& path) {
    std::unique_ptr<Source> file = times_.Timed(kOpenFile, [&] { return inner_.OpenFile(path); });
    if (!file) return nullptr;
    return std::make_unique<TimedSource>(std::move(file), times_);
}

std::unique_ptr<Sink> TimedFiles::CreateArchive(const std::wstring& path) {
    std::unique_ptr<Sink> sink = times_.Timed(kCreateArchive, [&] { return inner_.CreateArchive(path); });
    if (!sink) return nullptr;
    return std::make_unique<TimedSink>(std::move(sink), times_);
}

std::unique_ptr<RandomAccessSource> TimedFiles::OpenArchive(const std::wstring& path) {
    std::unique_ptr<RandomAccessSource> reader =
        times_.Timed(kOpenArchive, [&] { return inner_.OpenArchive(path); });
    if (!reader) return nullptr;
    return std::make_unique<TimedReader>(std::move(reader), times_);
}

void PrintCalls(std::FILE* out, const std::vector<Phase>& calls) {
    for (const Phase& call : calls) std::fprintf(out, "io:%s %.3f %d\n", call.name, call.seconds, call.calls);
}

}  // namespace mvn::bench

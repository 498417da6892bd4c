#pragma once
// An error raised inside a step. The chain does not catch it: it travels to the window's
// handler of uncaught errors, which shows it under the application title and keeps the window open.
#include <stdexcept>
#include <string>

namespace mvn {

class StepError : public std::runtime_error {
public:
    explicit StepError(std::wstring message)
        : std::runtime_error("step error"), message_(std::move(message)) {}
    const std::wstring& message() const noexcept { return message_; }

private:
    std::wstring message_;
};

}  // namespace mvn

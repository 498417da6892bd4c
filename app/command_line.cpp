#include "app/command_line.h"

namespace mvn {
namespace {

bool IsSeparator(wchar_t c) {
    return c != L'\0' && c <= L' ';
}

class Scanner {
public:
    explicit Scanner(std::wstring_view text) : text_(text) {}

    std::wstring NextArgument() {
        SkipSeparatorsAndEmptyQuotes();
        std::wstring argument;
        while (pos_ < text_.size() && text_[pos_] > L' ') {
            if (text_[pos_] == L'"') {
                ++pos_;
                while (pos_ < text_.size() && text_[pos_] != L'"') argument += text_[pos_++];
                if (pos_ < text_.size()) ++pos_;
            } else {
                argument += text_[pos_++];
            }
        }
        return argument;
    }

private:
    wchar_t At(std::size_t i) const { return i < text_.size() ? text_[i] : L'\0'; }

    void SkipSeparatorsAndEmptyQuotes() {
        for (;;) {
            while (IsSeparator(At(pos_))) ++pos_;
            if (At(pos_) != L'"' || At(pos_ + 1) != L'"') return;
            pos_ += 2;
        }
    }

    std::wstring_view text_;
    std::size_t pos_ = 0;
};

}  // namespace

std::vector<std::wstring> SplitCommandLine(std::wstring_view commandLine) {
    // A NUL ends the line, as it ends the C string Windows hands over.
    commandLine = commandLine.substr(0, commandLine.find(L'\0'));
    Scanner scanner(commandLine);
    std::vector<std::wstring> arguments{scanner.NextArgument()};
    for (std::wstring argument = scanner.NextArgument(); !argument.empty();
         argument = scanner.NextArgument()) {
        arguments.push_back(std::move(argument));
    }
    return arguments;
}

std::wstring CmdLineDirFromArguments(const std::vector<std::wstring>& arguments) {
    std::wstring dir;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        if (i > 1) dir += L' ';
        dir += arguments[i];
    }
    if (!dir.empty() && dir.back() == L'\\') dir.pop_back();
    return dir;
}

}  // namespace mvn

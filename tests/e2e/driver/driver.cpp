// e2e_driver: starts a program with a verbatim command line and drives its window the way a user
// would, through window messages only, printing one JSON object per line for every observation.
// Usage and the action list: see usage() below.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cwctype>
#include <set>
#include <string>
#include <vector>

#include "handles.h"
#include "json.h"

namespace e2e {
namespace {

void Usage() {
    Emit(JsonObject()
             .Str(L"event", L"usage")
             .Str(L"text",
                  L"e2e_driver [@argfile] --cmd=COMMAND-LINE [--cwd=DIR] [--timeout=MS] [--main-class=CLASS] "
                  L"[--checkpoint-dir=DIR] "
                  L"[--hold-open=PATH]... [--attrib=+h+s-r:PATH]... [--background=EXE]... ACTION... ; "
                  L"actions: window geometry "
                  L"click:CAPTION key:NAME close resize:CLIENT-WxH maximize sync dialog answer:CAPTION "
                  L"answer-key:NAME "
                  L"dialog-key:NAME answer-close dismiss-all tab-to:CAPTION log wait-log:LINE watch-log:LINE "
                  L"status "
                  L"painted wait-pause sleep:MS freeze thaw "
                  L"checkpoint:NAME wait-exit kill"));
}

struct Timeout {
    std::wstring action;
};
struct Failure {
    std::wstring message;
};

bool StartsWith(std::wstring_view text, std::wstring_view prefix) {
    return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t buffer[256] = {};
    const int n = ::GetClassNameW(hwnd, buffer, 256);
    return std::wstring(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}

std::wstring WithoutAmpersands(std::wstring text) {
    text.erase(std::remove(text.begin(), text.end(), L'&'), text.end());
    return text;
}

std::wstring FromUtf8(const std::string& bytes) {
    if (bytes.empty()) return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
    return out;
}

// An argument file holds one argument per line, verbatim: nothing is unquoted, so a command line
// with quotes and trailing backslashes arrives exactly as the test wrote it.
std::vector<std::wstring> ReadArgumentFile(const std::wstring& path) {
    UniqueHandle file(
        ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) throw Failure{L"cannot open argument file " + path};
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) bytes.erase(0, 3);
    std::vector<std::wstring> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(FromUtf8(line));
        start = end + 1;
    }
    return lines;
}

struct Options {
    std::wstring commandLine;
    bool haveCommandLine = false;
    std::wstring cwd;
    DWORD timeoutMs = 15000;
    std::wstring mainClass = L"TFHaupt";
    std::wstring checkpointDir;
    std::vector<std::wstring> holdOpen;
    std::vector<std::wstring> attributes;
    std::vector<std::wstring> background;
    std::vector<std::wstring> actions;
};

Options ParseOptions(int argc, wchar_t** argv) {
    std::vector<std::wstring> args;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (StartsWith(arg, L"@")) {
            for (auto& line : ReadArgumentFile(arg.substr(1))) args.push_back(std::move(line));
        } else {
            args.push_back(std::move(arg));
        }
    }
    Options o;
    for (const auto& arg : args) {
        auto value = [&](std::wstring_view name) { return arg.substr(name.size()); };
        if (StartsWith(arg, L"--cmd=")) {
            o.commandLine = value(L"--cmd=");
            o.haveCommandLine = true;
        } else if (StartsWith(arg, L"--cwd=")) {
            o.cwd = value(L"--cwd=");
        } else if (StartsWith(arg, L"--timeout=")) {
            o.timeoutMs = static_cast<DWORD>(std::wcstoul(value(L"--timeout=").c_str(), nullptr, 10));
        } else if (StartsWith(arg, L"--checkpoint-dir=")) {
            o.checkpointDir = value(L"--checkpoint-dir=");
        } else if (StartsWith(arg, L"--main-class=")) {
            o.mainClass = value(L"--main-class=");
        } else if (StartsWith(arg, L"--hold-open=")) {
            o.holdOpen.push_back(value(L"--hold-open="));
        } else if (StartsWith(arg, L"--attrib=")) {
            o.attributes.push_back(value(L"--attrib="));
        } else if (StartsWith(arg, L"--background=")) {
            o.background.push_back(value(L"--background="));
        } else if (StartsWith(arg, L"--")) {
            throw Failure{L"unknown option " + arg};
        } else {
            o.actions.push_back(arg);
        }
    }
    if (!o.haveCommandLine) throw Failure{L"--cmd= is missing"};
    return o;
}

// "+h+s-r:PATH" changes the hidden, system and read-only bits of PATH.
void ApplyAttributes(const std::wstring& change) {
    const size_t colon = change.find(L':');
    if (colon == std::wstring::npos) throw Failure{L"bad --attrib " + change};
    const std::wstring flags = change.substr(0, colon), path = change.substr(colon + 1);
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) throw Failure{L"no such file for --attrib: " + path};
    attributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL);
    bool set = true;
    for (wchar_t c : flags) {
        DWORD bit = 0;
        switch (std::towlower(c)) {
            case L'+':
                set = true;
                continue;
            case L'-':
                set = false;
                continue;
            case L'h':
                bit = FILE_ATTRIBUTE_HIDDEN;
                break;
            case L's':
                bit = FILE_ATTRIBUTE_SYSTEM;
                break;
            case L'r':
                bit = FILE_ATTRIBUTE_READONLY;
                break;
            case L'a':
                bit = FILE_ATTRIBUTE_ARCHIVE;
                break;
            default:
                throw Failure{L"bad --attrib flag in " + change};
        }
        attributes = set ? attributes | bit : attributes & ~bit;
    }
    if (!::SetFileAttributesW(path.c_str(), attributes ? attributes : FILE_ATTRIBUTE_NORMAL))
        throw Failure{L"SetFileAttributesW failed for " + path};
}

UINT VirtualKeyOf(const std::wstring& name) {
    std::wstring n = name;
    for (auto& c : n) c = static_cast<wchar_t>(std::towlower(c));
    if (n == L"esc" || n == L"escape") return VK_ESCAPE;
    if (n == L"enter" || n == L"return") return VK_RETURN;
    if (n == L"tab") return VK_TAB;
    if (n == L"space") return VK_SPACE;
    if (n.size() == 1 && std::iswalnum(n[0])) return static_cast<UINT>(std::towupper(n[0]));
    throw Failure{L"unknown key " + name};
}

// Posted, like the buttons' clicks: the program may be inside a handler that runs a modal dialog.
void PostKey(HWND target, UINT vk) {
    const UINT scan = ::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC);
    const LPARAM down = static_cast<LPARAM>(1u | (scan << 16));
    const LPARAM up = static_cast<LPARAM>(1u | (scan << 16) | (1u << 30) | (1u << 31));
    ::PostMessageW(target, WM_KEYDOWN, vk, down);
    ::PostMessageW(target, WM_KEYUP, vk, up);
}

std::vector<std::wstring> SplitLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    std::wstring current;
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c == L'\r' || c == L'\n') {
            lines.push_back(current);
            current.clear();
            if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
        } else {
            current += c;
        }
    }
    lines.push_back(current);
    // The control's final paragraph mark is not a line of its own.
    if (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines;
}

// A program started before the one under test and ended with the driver. Its command line is the
// driver's process id, so that a program that waits for it (fixtures/lingering.cpp) ends by itself
// even when the driver is killed.
class BackgroundProgram {
public:
    explicit BackgroundProgram(const std::wstring& path) {
        std::wstring commandLine = L"\"" + path + L"\" " + std::to_wstring(::GetCurrentProcessId());
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!::CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &si, &pi))
            throw Failure{L"cannot start " + path + L": error " + std::to_wstring(::GetLastError())};
        process_.reset(pi.hProcess);
        UniqueHandle thread(pi.hThread);
        pid_ = pi.dwProcessId;
    }
    BackgroundProgram(BackgroundProgram&&) = default;
    BackgroundProgram& operator=(BackgroundProgram&&) = default;
    ~BackgroundProgram() {
        if (!process_) return;
        ::TerminateProcess(process_.get(), 0);
        ::WaitForSingleObject(process_.get(), 5000);
    }
    DWORD pid() const { return pid_; }

private:
    UniqueHandle process_;
    DWORD pid_ = 0;
};

class Session {
public:
    explicit Session(const Options& options) : options_(options) {}

    void Start() {
        for (const auto& change : options_.attributes) ApplyAttributes(change);
        for (const auto& path : options_.holdOpen) {
            UniqueHandle h(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!h) throw Failure{L"cannot hold open " + path};
            held_.push_back(std::move(h));
        }
        for (const auto& path : options_.background) {
            background_.emplace_back(path);
            Emit(JsonObject().Str(L"event", L"background").Num(L"pid", background_.back().pid()));
        }
        std::wstring commandLine = options_.commandLine;  // CreateProcessW may write into it
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              options_.cwd.empty() ? nullptr : options_.cwd.c_str(), &si, &pi))
            throw Failure{L"CreateProcessW failed with error " + std::to_wstring(::GetLastError())};
        process_.reset(pi.hProcess);
        thread_.reset(pi.hThread);
        pid_ = pi.dwProcessId;
        Emit(JsonObject().Str(L"event", L"started").Num(L"pid", pid_));
    }

    // Returns false once the program has ended (after printing its exit code).
    bool Alive() {
        if (ended_) return false;
        if (::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) return true;
        DWORD code = 0;
        ::GetExitCodeProcess(process_.get(), &code);
        ended_ = true;
        Emit(JsonObject()
                 .Str(L"event", L"exit")
                 .Num(L"code", static_cast<long long>(code))
                 .Bool(L"main_seen", mainSeen_)
                 .Raw(L"windows_seen", SeenWindows()));
        return false;
    }

    // Captions of every window the program showed, in order: tells a timeout's cause too.
    std::wstring SeenWindows() const {
        std::vector<std::wstring> seen;
        for (const auto& caption : seenCaptions_) seen.push_back(JsonString(caption));
        return JsonArray(seen);
    }

    void Kill() {
        if (ended_) return;
        ::TerminateProcess(process_.get(), 255);
        ::WaitForSingleObject(process_.get(), 5000);
        ended_ = true;
    }

    bool ended() const { return ended_; }

    // One action; false when the program is gone and the remaining actions cannot run.
    bool Run(const std::wstring& action) {
        const size_t colon = action.find(L':');
        const std::wstring verb = action.substr(0, colon);
        const std::wstring arg = colon == std::wstring::npos ? L"" : action.substr(colon + 1);
        current_ = action;
        if (verb == L"sleep") {
            SleepObserving(static_cast<DWORD>(std::wcstoul(arg.c_str(), nullptr, 10)));
            return true;
        }
        if (verb == L"wait-exit") {
            WaitFor([&] { return false; });
            return false;
        }
        if (verb == L"kill") {
            Kill();
            Emit(JsonObject().Str(L"event", L"killed"));
            return false;
        }
        if (!Alive()) return Gone();
        if (verb == L"window") {
            if (!WaitFor([&] { return VisibleMain() != nullptr; })) return Gone();
            Observe();  // the wait saw the window after its last observation
            HWND w = VisibleMain();
            Emit(JsonObject()
                     .Str(L"event", L"window")
                     .Str(L"caption", CaptionOf(w))
                     .Str(L"class", ClassOf(w)));
        } else if (verb == L"geometry") {
            HWND w = Main();
            if (!w) return Gone();
            EmitGeometry(w);
        } else if (verb == L"click") {
            HWND w = Main();
            if (!w) return Gone();
            ::PostMessageW(ButtonOf(w, arg), BM_CLICK, 0, 0);
        } else if (verb == L"key") {
            HWND w = Main();
            if (!w) return Gone();
            // A frozen program cannot get ready: the key waits in its queue, as a key typed while the
            // program is busy does, and arrives once it is thawed.
            if (!frozen_ && !ReadyForInput(w)) return Gone();
            PostKey(FocusIn(w), VirtualKeyOf(arg));
        } else if (verb == L"close") {
            HWND w = Main();
            if (!w) return Gone();
            ::PostMessageW(w, WM_CLOSE, 0, 0);
        } else if (verb == L"resize" || verb == L"maximize") {
            HWND w = Main();
            if (!w) return Gone();
            if (verb == L"maximize") {
                ::ShowWindowAsync(w, SW_MAXIMIZE);
            } else {
                const size_t x = arg.find(L'x');
                if (x == std::wstring::npos) throw Failure{L"resize needs WxH"};
                // The size is the client size, as the window tables give it.
                RECT r{0, 0, std::stoi(arg.substr(0, x)), std::stoi(arg.substr(x + 1))};
                ::AdjustWindowRectEx(&r, static_cast<DWORD>(::GetWindowLongW(w, GWL_STYLE)), FALSE,
                                     static_cast<DWORD>(::GetWindowLongW(w, GWL_EXSTYLE)));
                ::SetWindowPos(w, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
            }
            return Sync(w);
        } else if (verb == L"tab-to") {
            HWND w = Main();
            if (!w) return Gone();
            // Tab as a user would, until the wanted control has the focus. Each press is done only
            // when the focus has left the control it went to: the program's own SetFocus changes the
            // focus too, and a Tab still queued then would move it on.
            if (!ReadyForInput(w)) return Gone();
            for (int presses = 0; FocusName(w) != arg; ++presses) {
                if (presses == 8) throw Failure{L"Tab never reached \"" + arg + L"\""};
                const HWND pressed = FocusIn(w);
                PostKey(pressed, VK_TAB);
                if (!WaitFor([&] { return FocusIn(w) != pressed; }) || !ReadyForInput(w)) return Gone();
            }
        } else if (verb == L"dismiss-all") {
            // Answers every dialog with its default button until the program ends, or until it has
            // shown none for the length of the timeout ("idle": it waits in its window).
            for (HWND open = dialog_; open && ::IsWindow(open) && ::IsWindowVisible(open); open = nullptr) {
                ::PostMessageW(DefaultButtonOf(open), BM_CLICK, 0, 0);
                if (!WaitFor([&] { return !::IsWindow(open) || !::IsWindowVisible(open); })) return false;
            }
            for (;;) {
                HWND d = nullptr;
                try {
                    if (!WaitFor([&] { return (d = NewDialog()) != nullptr; })) return false;
                } catch (const Timeout&) {
                    Emit(JsonObject().Str(L"event", L"idle"));
                    return true;
                }
                dialog_ = d;
                reported_.insert(d);
                EmitDialog(d);
                ::PostMessageW(DefaultButtonOf(d), BM_CLICK, 0, 0);
                if (!WaitFor([&] { return !::IsWindow(d) || !::IsWindowVisible(d); })) return false;
            }
        } else if (verb == L"freeze" || verb == L"thaw") {
            // A frozen program keeps what it last painted on the screen, so a screenshot can be taken
            // at leisure in the middle of a run.
            if (verb == L"freeze" ? ::SuspendThread(thread_.get()) == static_cast<DWORD>(-1)
                                  : ::ResumeThread(thread_.get()) == static_cast<DWORD>(-1))
                throw Failure{L"cannot " + verb + L" the program"};
            frozen_ = verb == L"freeze";
        } else if (verb == L"checkpoint") {
            // The harness does something (a screenshot) and then creates NAME.go to let the run go on.
            if (options_.checkpointDir.empty()) throw Failure{L"checkpoint needs --checkpoint-dir="};
            const std::wstring go = options_.checkpointDir + L"\\" + arg + L".go";
            Emit(JsonObject().Str(L"event", L"checkpoint").Str(L"name", arg));
            const ULONGLONG start = ::GetTickCount64();
            while (::GetFileAttributesW(go.c_str()) == INVALID_FILE_ATTRIBUTES) {
                if (::GetTickCount64() - start > options_.timeoutMs) throw Timeout{current_};
                ::Sleep(10);
            }
        } else if (verb == L"sync") {
            HWND w = Main();
            if (!w) return Gone();
            return Sync(w);
        } else if (verb == L"painted") {
            HWND w = Main();
            if (!w) return Gone();
            // The program draws into its window when it handles WM_PAINT, and Wine hands what it drew
            // to the X server when the thread next waits for messages: no update region left
            // anywhere, then two answered messages, the second sent after the thread went back.
            if (!WaitFor([&] { return Unpainted() == nullptr; })) return Gone();
            return Sync(w) && Sync(w);
        } else if (verb == L"wait-pause") {
            HWND w = Main();
            if (!w) return Gone();
            // Left its message point: the program no longer answers. Its pauses after success lines
            // last 500 ms and its message points only as long as the waiting messages take, so a
            // message that waits 100 ms for its answer tells that the program is in a pause or a step.
            if (!WaitFor([&] { return !Answers(w, 100); })) return Gone();
        } else if (verb == L"dialog") {
            HWND d = nullptr;
            if (!WaitFor([&] { return (d = NewDialog()) != nullptr; })) return Gone();
            dialog_ = d;
            reported_.insert(d);
            EmitDialog(d);
        } else if (verb == L"answer" || verb == L"answer-key" || verb == L"answer-close" ||
                   verb == L"dialog-key") {
            if (!dialog_ || !::IsWindow(dialog_)) throw Failure{L"no dialog is open"};
            if (verb == L"answer") {
                ::PostMessageW(ButtonOf(dialog_, arg), BM_CLICK, 0, 0);
            } else if (verb == L"answer-close") {
                ::PostMessageW(dialog_, WM_CLOSE, 0, 0);
            } else {
                if (!ReadyForInput(dialog_)) return Gone();
                PostKey(FocusIn(dialog_), VirtualKeyOf(arg));
                if (verb == L"dialog-key") return true;
            }
            // The answer may end the program; its exit event is then the whole result.
            HWND d = dialog_;
            if (!WaitFor([&] { return !::IsWindow(d) || !::IsWindowVisible(d); })) return false;
        } else if (verb == L"log" || verb == L"wait-log" || verb == L"watch-log") {
            HWND w = Main();
            if (!w) return Gone();
            HWND log = ChildOfClass(w, L"RICHEDIT");
            if (!log) throw Failure{L"the main window has no rich edit control"};
            std::vector<std::wstring> lines;
            HWND d = nullptr;
            auto has = [&] {
                // watch-log also stops at a dialog, for callers that do not know whether a step fails.
                if (verb == L"watch-log" && (d = NewDialog()) != nullptr) return true;
                lines = SplitLines(TextOrTimeout(log));
                return verb == L"log" || std::find(lines.begin(), lines.end(), arg) != lines.end();
            };
            // Polled at once again: the program passes some message points within milliseconds.
            if (!WaitFor(has, 1) || !Alive()) return Gone();
            if (d) {
                dialog_ = d;
                reported_.insert(d);
                EmitDialog(d);
                lines = SplitLines(TextOrTimeout(log));
            }
            std::vector<std::wstring> rendered;
            for (const auto& line : lines) rendered.push_back(JsonString(line));
            Emit(JsonObject()
                     .Str(L"event", L"log")
                     .Raw(L"lines", JsonArray(rendered))
                     .Bool(L"visible", ::IsWindowVisible(log) != FALSE));
        } else if (verb == L"status") {
            HWND w = Main();
            if (!w) return Gone();
            HWND status = ChildOfClass(w, STATUSCLASSNAMEW);
            if (!status) throw Failure{L"the main window has no status bar"};
            const std::wstring text = TextOrTimeout(status);
            if (!Alive()) return Gone();
            Emit(JsonObject().Str(L"event", L"status").Str(L"text", text));
        } else {
            throw Failure{L"unknown action " + action};
        }
        return true;
    }

private:
    bool Gone() {
        Emit(JsonObject().Str(L"event", L"gone").Str(L"action", current_));
        return false;
    }

    DWORD ThreadOf(HWND hwnd) const { return ::GetWindowThreadProcessId(hwnd, nullptr); }

    struct WindowSearch {
        DWORD pid;
        std::vector<HWND> found;
    };
    static BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM lp) {
        auto* search = reinterpret_cast<WindowSearch*>(lp);
        DWORD pid = 0;
        ::GetWindowThreadProcessId(hwnd, &pid);
        if (pid == search->pid) search->found.push_back(hwnd);
        return TRUE;
    }
    std::vector<HWND> TopLevelWindows() const {
        WindowSearch search{pid_, {}};
        ::EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    // Keeps a record of every window the program showed, for the exit event: the show-time check
    // must be able to end the program before its main window is ever seen.
    void Observe() {
        for (HWND hwnd : TopLevelWindows()) {
            if (!::IsWindowVisible(hwnd)) continue;
            if (ClassOf(hwnd) == options_.mainClass) mainSeen_ = true;
            if (!observed_.insert(hwnd).second) continue;
            seenCaptions_.push_back(CaptionOf(hwnd));
        }
    }

    template <class Condition>
    bool WaitFor(Condition&& condition, DWORD pollMs = 10) {
        const ULONGLONG start = ::GetTickCount64();
        for (;;) {
            Observe();
            if (!Alive()) return false;
            if (condition()) return true;
            if (::GetTickCount64() - start > options_.timeoutMs) throw Timeout{current_};
            ::Sleep(pollMs);
        }
    }

    void SleepObserving(DWORD ms) {
        const ULONGLONG start = ::GetTickCount64();
        while (::GetTickCount64() - start < ms) {
            Observe();
            Alive();
            ::Sleep(10);
        }
    }

    // Captions, button and static texts are kept by the window system and read without a message:
    // a message would wait for the program's next message point and could let a click that the
    // test posts after it miss the point it aims at.
    static std::wstring CaptionOf(HWND hwnd) {
        std::wstring text(4096, L'\0');
        const int n = ::InternalGetWindowText(hwnd, text.data(), static_cast<int>(text.size()));
        text.resize(n > 0 ? static_cast<size_t>(n) : 0);
        return text;
    }

    // The log's and the status bar's texts live in the controls: WM_GETTEXT, which waits until the
    // program handles messages at one of the fixed points of a run. One message per read, so that a
    // read never straddles two of those points.
    bool ReadText(HWND hwnd, std::wstring& text) const {
        for (size_t capacity = 32768;; capacity *= 4) {
            text.assign(capacity, L'\0');
            DWORD_PTR got = 0;
            if (!::SendMessageTimeoutW(hwnd, WM_GETTEXT, capacity, reinterpret_cast<LPARAM>(text.data()),
                                       SMTO_NORMAL, options_.timeoutMs, &got)) {
                text.clear();
                return false;
            }
            if (got + 1 < capacity) {
                text.resize(got);
                return true;
            }
        }
    }

    std::wstring TextOrTimeout(HWND hwnd) {
        std::wstring text;
        if (!ReadText(hwnd, text) && Alive()) throw Timeout{current_};
        return text;
    }

    HWND FindMain(bool visibleOnly) const {
        for (HWND hwnd : TopLevelWindows())
            if (ClassOf(hwnd) == options_.mainClass && (!visibleOnly || ::IsWindowVisible(hwnd))) return hwnd;
        return nullptr;
    }
    HWND VisibleMain() const { return FindMain(true); }

    HWND Main() {
        if (main_ && ::IsWindow(main_)) return main_;
        HWND found = nullptr;
        if (!WaitFor([&] { return (found = FindMain(false)) != nullptr; })) return nullptr;
        return main_ = found;
    }

    HWND NewDialog() {
        for (HWND hwnd : TopLevelWindows()) {
            if (!::IsWindowVisible(hwnd) || reported_.count(hwnd) || ClassOf(hwnd) == options_.mainClass)
                continue;
            if (ChildOfClass(hwnd, WC_BUTTONW)) return hwnd;  // its controls exist
        }
        return nullptr;
    }

    std::vector<HWND> Children(HWND parent) const {
        std::vector<HWND> children;
        for (HWND c = ::GetWindow(parent, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
            children.push_back(c);
        return children;
    }

    HWND ChildOfClass(HWND parent, std::wstring_view classPrefix) const {
        for (HWND c : Children(parent)) {
            std::wstring cls = ClassOf(c);
            if (cls.size() >= classPrefix.size() &&
                ::CompareStringOrdinal(cls.data(), static_cast<int>(classPrefix.size()), classPrefix.data(),
                                       static_cast<int>(classPrefix.size()), TRUE) == CSTR_EQUAL)
                return c;
        }
        return nullptr;
    }

    HWND ButtonOf(HWND parent, const std::wstring& caption) const {
        HWND loose = nullptr;
        for (HWND c : Children(parent)) {
            if (ClassOf(c) != WC_BUTTONW) continue;
            const std::wstring text = CaptionOf(c);
            if (text == caption) return c;
            if (!loose && WithoutAmpersands(text) == WithoutAmpersands(caption)) loose = c;
        }
        if (!loose) throw Failure{L"no button \"" + caption + L"\""};
        return loose;
    }

    HWND DefaultButtonOf(HWND dialog) const {
        HWND first = nullptr;
        for (HWND c : Children(dialog)) {
            if (ClassOf(c) != WC_BUTTONW || !::IsWindowVisible(c)) continue;
            if ((static_cast<DWORD>(::GetWindowLongW(c, GWL_STYLE)) & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
                return c;
            if (!first) first = c;
        }
        if (!first) throw Failure{L"the dialog has no button"};
        return first;
    }

    // Keys go where the user's keys would go: the control with the keyboard focus.
    HWND FocusIn(HWND window) const {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        if (::GetGUIThreadInfo(ThreadOf(window), &info) && info.hwndFocus &&
            (info.hwndFocus == window || ::IsChild(window, info.hwndFocus)))
            return info.hwndFocus;
        return window;
    }

    std::wstring FocusName(HWND window) const {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        if (!::GetGUIThreadInfo(ThreadOf(window), &info) || !info.hwndFocus) return {};
        if (info.hwndFocus == window) return L"(window)";
        if (!::IsChild(window, info.hwndFocus)) return L"(elsewhere)";
        const std::wstring cls = ClassOf(info.hwndFocus);
        return cls == WC_BUTTONW ? CaptionOf(info.hwndFocus) : cls;
    }

    // Real keys reach only the active window, and only when its thread takes them from its queue:
    // before each key the program must have answered a sent message in its message loop (or in a
    // dialog's) and made target its active window.
    bool ReadyForInput(HWND target) {
        return WaitFor([&] {
            if (!Answers(target, options_.timeoutMs)) return false;
            GUITHREADINFO info{};
            info.cbSize = sizeof info;
            return ::GetGUIThreadInfo(ThreadOf(target), &info) && info.hwndActive == target &&
                   ::GetForegroundWindow() == target;
        });
    }

    bool Answers(HWND w, DWORD withinMs) const {
        DWORD_PTR result = 0;
        return ::SendMessageTimeoutW(w, WM_NULL, 0, 0, SMTO_NORMAL, withinMs, &result) != 0;
    }

    // A visible window of the program, or a control in one, that still waits to be painted.
    HWND Unpainted() const {
        struct Search {
            HWND found = nullptr;
            static BOOL CALLBACK Visit(HWND child, LPARAM lp) {
                auto* search = reinterpret_cast<Search*>(lp);
                if (!::IsWindowVisible(child) || !::GetUpdateRect(child, nullptr, FALSE)) return TRUE;
                search->found = child;
                return FALSE;
            }
        };
        for (HWND top : TopLevelWindows()) {
            if (!::IsWindowVisible(top)) continue;
            if (::GetUpdateRect(top, nullptr, FALSE)) return top;
            Search search;
            ::EnumChildWindows(top, &Search::Visit, reinterpret_cast<LPARAM>(&search));
            if (search.found) return search.found;
        }
        return nullptr;
    }

    bool Sync(HWND w) {
        DWORD_PTR result = 0;
        if (::SendMessageTimeoutW(w, WM_NULL, 0, 0, SMTO_NORMAL, options_.timeoutMs, &result)) return true;
        if (!Alive()) return Gone();
        throw Timeout{current_};
    }

    RECT InClient(HWND parent, HWND child) const {
        RECT r{};
        ::GetWindowRect(child, &r);
        ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }

    std::wstring StatusParts(HWND status) const {
        if (frozen_) return L"null";
        constexpr WPARAM kMaxParts = 32;
        RemoteBuffer remote(process_.get(), kMaxParts * sizeof(INT));
        if (!remote.get()) return L"null";
        DWORD_PTR count = 0;
        if (!::SendMessageTimeoutW(status, SB_GETPARTS, kMaxParts, reinterpret_cast<LPARAM>(remote.get()),
                                   SMTO_NORMAL, options_.timeoutMs, &count))
            return L"null";
        std::vector<INT> parts(std::min<size_t>(count, kMaxParts));
        SIZE_T read = 0;
        if (!parts.empty() && !::ReadProcessMemory(process_.get(), remote.get(), parts.data(),
                                                   parts.size() * sizeof(INT), &read))
            return L"null";
        std::vector<std::wstring> items;
        for (INT p : parts) items.push_back(JsonNumber(p));
        return JsonArray(items);
    }

    // What the button itself needs for its caption and glyph in its own font, measured in the
    // program (BCM_GETIDEALSIZE): [width, height], or null.
    std::wstring IdealButtonSize(HWND button) const {
        if (frozen_) return L"null";
        RemoteBuffer remote(process_.get(), sizeof(SIZE));
        const SIZE unlimited{0, 0};
        SIZE ideal{};
        SIZE_T moved = 0;
        DWORD_PTR done = 0;
        if (!remote.get() ||
            !::WriteProcessMemory(process_.get(), remote.get(), &unlimited, sizeof unlimited, &moved) ||
            !::SendMessageTimeoutW(button, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(remote.get()),
                                   SMTO_NORMAL, options_.timeoutMs, &done) ||
            !done || !::ReadProcessMemory(process_.get(), remote.get(), &ideal, sizeof ideal, &moved))
            return L"null";
        return JsonArray({JsonNumber(ideal.cx), JsonNumber(ideal.cy)});
    }

    // A dialog's static text as it draws it (SS_LEFT | SS_EDITCONTROL | SS_NOPREFIX) in the font
    // that dialogs use, the system's message font: [width, height] for the control's width.
    static std::wstring MessageTextExtent(const std::wstring& text, int width) {
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof metrics;
        if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return L"null";
        const HFONT font = ::CreateFontIndirectW(&metrics.lfMessageFont);
        const HDC dc = ::GetDC(nullptr);
        const HGDIOBJ old = ::SelectObject(dc, font);
        RECT bounds{0, 0, width, 0};
        ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &bounds,
                    DT_CALCRECT | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX | DT_EXPANDTABS);
        ::SelectObject(dc, old);
        ::ReleaseDC(nullptr, dc);
        ::DeleteObject(font);
        return JsonArray({JsonNumber(bounds.right - bounds.left), JsonNumber(bounds.bottom - bounds.top)});
    }

    JsonObject Screen(HWND w) const {
        MONITORINFO mi{};
        mi.cbSize = sizeof mi;
        ::GetMonitorInfoW(::MonitorFromWindow(w, MONITOR_DEFAULTTONEAREST), &mi);
        const RECT desktop{::GetSystemMetrics(SM_XVIRTUALSCREEN), ::GetSystemMetrics(SM_YVIRTUALSCREEN),
                           ::GetSystemMetrics(SM_XVIRTUALSCREEN) + ::GetSystemMetrics(SM_CXVIRTUALSCREEN),
                           ::GetSystemMetrics(SM_YVIRTUALSCREEN) + ::GetSystemMetrics(SM_CYVIRTUALSCREEN)};
        JsonObject o;
        o.Rect(L"monitor", mi.rcMonitor).Rect(L"work_area", mi.rcWork).Rect(L"desktop", desktop);
        return o;
    }

    void EmitGeometry(HWND w) const {
        RECT window{}, client{};
        ::GetWindowRect(w, &window);
        ::GetClientRect(w, &client);
        POINT origin{0, 0};
        ::ClientToScreen(w, &origin);
        const auto style = static_cast<DWORD>(::GetWindowLongW(w, GWL_STYLE));
        const auto exStyle = static_cast<DWORD>(::GetWindowLongW(w, GWL_EXSTYLE));
        auto has = [&](DWORD bits) { return (style & bits) == bits; };
        JsonObject flags;
        flags.Bool(L"caption", has(WS_CAPTION))
            .Bool(L"thickframe", has(WS_THICKFRAME))
            .Bool(L"dlgframe", has(WS_DLGFRAME))
            .Bool(L"sysmenu", has(WS_SYSMENU))
            .Bool(L"minimizebox", has(WS_MINIMIZEBOX))
            .Bool(L"maximizebox", has(WS_MAXIMIZEBOX))
            .Bool(L"appwindow", (exStyle & WS_EX_APPWINDOW) != 0)
            .Bool(L"toolwindow", (exStyle & WS_EX_TOOLWINDOW) != 0)
            .Bool(L"visible", ::IsWindowVisible(w) != FALSE)
            .Bool(L"zoomed", ::IsZoomed(w) != FALSE);

        std::vector<std::wstring> controls;
        for (HWND c : Children(w)) {
            const std::wstring cls = ClassOf(c);
            const auto cStyle = static_cast<DWORD>(::GetWindowLongW(c, GWL_STYLE));
            JsonObject control;
            control.Str(L"class", cls)
                .Str(L"text", CaptionOf(c))
                .Num(L"id", ::GetDlgCtrlID(c))
                .Rect(L"rect", InClient(w, c))
                .Bool(L"visible", ::IsWindowVisible(c) != FALSE)
                .Bool(L"enabled", ::IsWindowEnabled(c) != FALSE)
                .Bool(L"tabstop", (cStyle & WS_TABSTOP) != 0)
                .Num(L"style", static_cast<long long>(cStyle));
            if (cls == WC_BUTTONW) {
                control.Bool(L"default", (cStyle & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
                    .Raw(L"ideal", IdealButtonSize(c));
            }
            if (::CompareStringOrdinal(cls.c_str(), -1, STATUSCLASSNAMEW, -1, TRUE) == CSTR_EQUAL)
                control.Raw(L"parts", StatusParts(c));
            controls.push_back(control.Text());
        }
        const RECT clientRect{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
        Emit(JsonObject()
                 .Str(L"event", L"geometry")
                 .Str(L"caption", CaptionOf(w))
                 .Rect(L"rect", window)
                 .Rect(L"client", clientRect)
                 .Num(L"style", static_cast<long long>(style))
                 .Num(L"exstyle", static_cast<long long>(exStyle))
                 .Raw(L"flags", flags.Text())
                 .Bool(L"owned", ::GetWindow(w, GW_OWNER) != nullptr)
                 .Str(L"focus", FocusName(w))
                 .Raw(L"screen", Screen(w).Text())
                 .Raw(L"controls", JsonArray(controls)));
    }

    void EmitDialog(HWND d) const {
        std::vector<std::wstring> texts;
        bool icon = false;
        RECT iconRect{};
        struct Button {
            RECT rect;
            std::wstring text;
            bool isDefault;
        };
        std::vector<Button> buttons;
        std::vector<std::wstring> controls;
        for (HWND c : Children(d)) {
            if (!::IsWindowVisible(c)) continue;
            const std::wstring cls = ClassOf(c);
            const auto style = static_cast<DWORD>(::GetWindowLongW(c, GWL_STYLE));
            const RECT inClient = InClient(d, c);
            JsonObject control;
            control.Str(L"class", cls).Str(L"text", CaptionOf(c)).Rect(L"rect", inClient);
            if (cls == WC_BUTTONW) control.Raw(L"ideal", IdealButtonSize(c));
            if (::CompareStringOrdinal(cls.c_str(), -1, WC_STATICW, -1, TRUE) == CSTR_EQUAL &&
                (style & SS_TYPEMASK) != SS_ICON && (style & SS_TYPEMASK) != SS_BITMAP)
                control.Raw(L"extent", MessageTextExtent(CaptionOf(c), inClient.right - inClient.left));
            controls.push_back(control.Text());
            if (::CompareStringOrdinal(cls.c_str(), -1, WC_STATICW, -1, TRUE) == CSTR_EQUAL) {
                const DWORD type = style & SS_TYPEMASK;
                if (type == SS_ICON || type == SS_BITMAP) {
                    if (!icon) ::GetWindowRect(c, &iconRect);
                    icon = true;
                } else {
                    std::wstring text = CaptionOf(c);
                    if (!text.empty()) texts.push_back(JsonString(text));
                }
            } else if (cls == WC_BUTTONW) {
                RECT r{};
                ::GetWindowRect(c, &r);
                buttons.push_back({r, CaptionOf(c), (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON});
            }
        }
        // In the order a user reads them: by row, then from left to right.
        std::sort(buttons.begin(), buttons.end(), [](const Button& a, const Button& b) {
            return a.rect.top != b.rect.top ? a.rect.top < b.rect.top : a.rect.left < b.rect.left;
        });
        std::vector<std::wstring> captions;
        std::wstring defaultButton = L"null";
        for (const auto& b : buttons) {
            captions.push_back(JsonString(b.text));
            if (b.isDefault && defaultButton == L"null") defaultButton = JsonString(b.text);
        }
        RECT rect{}, client{};
        ::GetWindowRect(d, &rect);
        ::GetClientRect(d, &client);
        HWND owner = ::GetWindow(d, GW_OWNER);
        Emit(JsonObject()
                 .Str(L"event", L"dialog")
                 .Str(L"class", ClassOf(d))
                 .Str(L"caption", CaptionOf(d))
                 .Raw(L"texts", JsonArray(texts))
                 .Raw(L"buttons", JsonArray(captions))
                 .Raw(L"default", defaultButton)
                 .Bool(L"icon", icon)
                 .Raw(L"icon_rect", icon ? JsonRect(iconRect) : L"null")
                 .Str(L"owner", owner == nullptr ? L"none" : (owner == FindMain(false) ? L"main" : L"other"))
                 .Str(L"focus", FocusName(d))
                 .Rect(L"rect", rect)
                 .Raw(L"client_size", JsonArray({JsonNumber(client.right), JsonNumber(client.bottom)}))
                 .Raw(L"controls", JsonArray(controls))
                 .Raw(L"screen", Screen(d).Text()));
    }

    const Options& options_;
    UniqueHandle process_;
    UniqueHandle thread_;
    DWORD pid_ = 0;
    std::vector<UniqueHandle> held_;
    std::vector<BackgroundProgram> background_;
    HWND main_ = nullptr;
    HWND dialog_ = nullptr;
    std::set<HWND> reported_;
    std::set<HWND> observed_;
    std::vector<std::wstring> seenCaptions_;
    bool mainSeen_ = false;
    bool frozen_ = false;  // no messages then: they would wait until the timeout
    bool ended_ = false;
    std::wstring current_;
};

}  // namespace
}  // namespace e2e

int wmain(int argc, wchar_t** argv) {
    using namespace e2e;
    // The programs are DPI-aware: so is the driver, or every rectangle it reads at another DPI
    // would come back scaled to 96.
    ::SetProcessDPIAware();
    Options options;
    try {
        options = ParseOptions(argc, argv);
    } catch (const Failure& f) {
        Emit(JsonObject().Str(L"event", L"error").Str(L"message", f.message));
        Usage();
        return 4;
    }
    Session session(options);
    try {
        session.Start();
        for (const auto& action : options.actions)
            if (!session.Run(action)) break;
        if (!session.ended()) session.Run(L"wait-exit");
    } catch (const Timeout& t) {
        Emit(JsonObject()
                 .Str(L"event", L"timeout")
                 .Str(L"action", t.action)
                 .Raw(L"windows_seen", session.SeenWindows()));
        session.Kill();
        return 2;
    } catch (const Failure& f) {
        Emit(JsonObject().Str(L"event", L"error").Str(L"message", f.message));
        session.Kill();
        return 3;
    }
    return 0;
}

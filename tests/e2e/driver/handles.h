#pragma once
// Owning wrappers for the few kernel objects the driver holds.
#include <windows.h>

#include <utility>

namespace e2e {

class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE h) noexcept : h_(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
    UniqueHandle(UniqueHandle&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(std::exchange(other.h_, nullptr));
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    HANDLE get() const noexcept { return h_; }
    explicit operator bool() const noexcept { return h_ != nullptr; }
    void reset(HANDLE h = nullptr) noexcept {
        if (h_) ::CloseHandle(h_);
        h_ = h;
    }

private:
    HANDLE h_ = nullptr;
};

// Memory inside the program under test, for the control messages whose pointer arguments Windows
// does not carry across processes (SB_GETPARTS).
class RemoteBuffer {
public:
    RemoteBuffer(HANDLE process, SIZE_T size) noexcept
        : process_(process),
          address_(::VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {}
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;
    ~RemoteBuffer() {
        if (address_) ::VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    }
    void* get() const noexcept { return address_; }

private:
    HANDLE process_;
    void* address_;
};

}  // namespace e2e

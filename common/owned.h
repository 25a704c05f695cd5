#pragma once

#include <utility>

namespace veskcheck {

// Owner of one system handle, released by `release` unless it holds `empty`. It moves, so helpers
// return owners and callers never see a bare handle. Several owners in one scope are released in
// reverse order of acquisition simply because they are destroyed in reverse order of construction.
template <typename Handle, auto release, Handle empty = Handle{}>
class Owned {
public:
    Owned() = default;
    explicit Owned(Handle h) : handle_(h) {}
    Owned(Owned&& other) noexcept : handle_(std::exchange(other.handle_, empty)) {}
    Owned& operator=(Owned&& other) noexcept {
        reset(std::exchange(other.handle_, empty));
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() { reset(); }

    Handle get() const { return handle_; }
    // For the Win32 "fills a handle" calling style: what was held is released first.
    Handle* put() {
        reset();
        return &handle_;
    }
    void reset(Handle h = empty) {
        if (handle_ != empty) release(handle_);
        handle_ = h;
    }
    // Gives the handle up without releasing it: another owner (the clipboard, say) has taken it,
    // or a call that failed left something there that is not a handle of ours.
    Handle detach() { return std::exchange(handle_, empty); }

private:
    Handle handle_ = empty;
};

}  // namespace veskcheck

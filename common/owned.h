#pragma once

#include <utility>

namespace veskcheck {

// Owner of one system handle. `Traits` says what a handle is (`Handle`), which value means none
// (`none()`), whether a value is held (`holds`) and how it is released (`release`). It moves, so
// helpers return owners and callers never see a bare handle. Several owners in one scope are
// released in reverse order of acquisition simply because they are destroyed in reverse order of
// construction.
template <typename Traits>
class Owner {
public:
    using Handle = typename Traits::Handle;

    Owner() = default;
    explicit Owner(Handle h) : handle_(h) {}
    Owner(Owner&& other) noexcept : handle_(other.detach()) {}
    Owner& operator=(Owner&& other) noexcept {
        reset(other.detach());
        return *this;
    }
    Owner(const Owner&) = delete;
    Owner& operator=(const Owner&) = delete;
    ~Owner() { reset(); }

    Handle get() const { return handle_; }
    explicit operator bool() const { return Traits::holds(handle_); }
    // For the Win32 "fills a handle" calling style: what was held is released first.
    Handle* put() {
        reset();
        return &handle_;
    }
    // For calls that take the held handle by address and may update it in place, such as a
    // handshake continuing its security context. Nothing is released.
    Handle* addressOf() { return &handle_; }
    void reset(Handle h = Traits::none()) {
        if (Traits::holds(handle_)) Traits::release(handle_);
        handle_ = h;
    }
    // Gives the handle up without releasing it: another owner (the clipboard, say) has taken it,
    // or a call that failed left something there that is not a handle of ours.
    Handle detach() { return std::exchange(handle_, Traits::none()); }

private:
    Handle handle_ = Traits::none();
};

// The traits of a handle that is a plain value with one "none" value known at compile time.
template <typename HandleType, auto releaseFunction, HandleType empty>
struct ValueHandleTraits {
    using Handle = HandleType;
    static constexpr Handle none() { return empty; }
    static bool holds(Handle h) { return h != empty; }
    static void release(Handle h) { releaseFunction(h); }
};

template <typename Handle, auto release, Handle empty = Handle{}>
using Owned = Owner<ValueHandleTraits<Handle, release, empty>>;

}  // namespace veskcheck

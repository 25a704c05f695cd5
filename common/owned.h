#pragma once

namespace veskcheck {

// Owner of one system handle, released by `release` unless it still holds `empty`. Several owners
// in one scope are released in reverse order of acquisition simply because they are destroyed in
// reverse order of construction.
template <typename Handle, auto release, Handle empty = Handle{}>
class Owned {
public:
    Owned() = default;
    explicit Owned(Handle h) : handle_(h) {}
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() { reset(empty); }
    Handle get() const { return handle_; }
    Handle* out() { return &handle_; }  // for the "fills a handle" calling style
    void reset(Handle h) {
        if (handle_ != empty) release(handle_);
        handle_ = h;
    }
    void detach() { handle_ = empty; }  // another owner (the clipboard, say) has taken the handle

private:
    Handle handle_ = empty;
};

}  // namespace veskcheck

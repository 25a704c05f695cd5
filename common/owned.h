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
    ~Owned() {
        if (handle_ != empty) release(handle_);
    }
    Handle get() const { return handle_; }
    Handle* out() { return &handle_; }  // for the "fills a handle" calling style

private:
    Handle handle_ = empty;
};

}  // namespace veskcheck

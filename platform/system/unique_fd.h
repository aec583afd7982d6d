#pragma once

#include <utility>

namespace voxquill {

// A descriptor with one owner, closed once, when its owner lets it go: moving
// hands it on, and nothing else closes it. Empty when it holds none.
// One thread at a time.
class UniqueFd {
public:
    UniqueFd() = default;
    // Takes the descriptor, or -1 for none.
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = other.release();
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    explicit operator bool() const { return fd_ >= 0; }

    // The descriptor, lent for as long as this owner holds it; -1 when empty.
    int get() const { return fd_; }

    // Gives the descriptor up without closing it; the caller owns it now.
    int release() { return std::exchange(fd_, -1); }

    // Closes the descriptor now, if there is one. errno is left as it was, so
    // that a caller can still word the failure that made it let go.
    void reset();

private:
    int fd_ = -1;
};

}  // namespace voxquill

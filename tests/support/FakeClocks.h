#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

namespace zumbal::test {

// Link's clock and the audio outputs', set by whoever drives them: a Clocks
// for BasicLinkSession on a virtual clock.
struct FakeClocks {
    static inline std::atomic<int64_t> link{0}, monotonic{0};
    int64_t linkNs() const { return link.load(); }
    int64_t monotonicNs() const { return monotonic.load(); }
    std::chrono::microseconds micros() const { return std::chrono::microseconds(linkNs() / 1000); }
};

} // namespace zumbal::test

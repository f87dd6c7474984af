#pragma once

#include <cstddef>
#include <vector>

namespace zumbal {

// A decoded sound: two channels of samples, at the rate it was made at
// (the event sounds at 44.1 kHz). The resources decode it, the mixer plays it.
struct PcmClip {
    std::vector<float> left;
    std::vector<float> right;
    size_t frames() const { return left.size(); }
};

} // namespace zumbal

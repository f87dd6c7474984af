#include "model/StepVariation.h"

#include <algorithm>

namespace zumbal {

bool isCondition(int condition) {
    if (condition >= kAlways && condition <= kNotFill)
        return true;
    const int b = condition / 10, a = condition % 10;
    return b >= kMinCycle && b <= kMaxCycle && a >= 1 && a <= b;
}

StepVariation inRange(StepVariation v) {
    v.chance = std::clamp(v.chance, 1, 100);
    if (!isCondition(v.condition))
        v.condition = kAlways;
    v.ratchet = std::clamp(v.ratchet, 1, kMaxRatchet);
    v.nudge = std::clamp(v.nudge, -kMaxNudge, kMaxNudge);
    return v;
}

bool conditionHolds(int condition, int pass, bool fill) {
    switch (condition) {
    case kAlways:
        return true;
    case kFirstPass:
        return pass == 1;
    case kNotFirstPass:
        return pass != 1;
    case kFillOnly:
        return fill;
    case kNotFill:
        return !fill;
    }
    if (!isCondition(condition))
        return true;
    const int b = condition / 10, a = condition % 10;
    return (pass - 1) % b + 1 == a;
}

namespace {

// SplitMix64's finaliser: every input bit moves every output bit.
uint64_t mix(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

} // namespace

bool chanceHolds(uint64_t seed, uint32_t run, int pass, int cell, int chance) {
    if (chance >= 100)
        return true;
    const uint64_t draw = mix(mix(mix(seed) ^ run) ^ (static_cast<uint64_t>(pass) << 8 | cell));
    // The top 53 bits as a number in [0, 100).
    return static_cast<double>(draw >> 11) * 0x1.0p-53 * 100 < chance;
}

int32_t packVariation(const StepVariation& step) {
    const StepVariation v = inRange(step);
    return (100 - v.chance) | v.condition << 7 | (v.ratchet - 1) << 14 | (v.nudge & 0x1F) << 16;
}

StepVariation unpackVariation(int32_t packed) {
    StepVariation v;
    v.chance = 100 - (packed & 0x7F);
    v.condition = packed >> 7 & 0x7F;
    v.ratchet = (packed >> 14 & 0x3) + 1;
    const int nudge = packed >> 16 & 0x1F;
    v.nudge = nudge >= 16 ? nudge - 32 : nudge;
    return inRange(v);
}

} // namespace zumbal

#pragma once

#include <cstdint>

namespace zumbal {

// How a step that is on varies from pass to pass: the chance that it plays
// (a hit's; a random hit keeps its own rule), the condition on the pass
// number and the fill, the ratchet (hits spread evenly within the stroke)
// and the nudge off the grid, in 24ths of a stroke.
struct StepVariation {
    int chance = 100; // percent, 1..100
    int condition = 0;
    int ratchet = 1; // hits, 1..4
    int nudge = 0;   // 24ths of a stroke, -12..12

    friend bool operator==(const StepVariation&, const StepVariation&) = default;
};

// The conditions, as the loop file writes them; "A:B" (play on pass A of
// every B) is 10 x B + A, so 2:4 is 42.
inline constexpr int kAlways = 0;
inline constexpr int kFirstPass = 1;
inline constexpr int kNotFirstPass = 2;
inline constexpr int kFillOnly = 3;
inline constexpr int kNotFill = 4;
inline constexpr int kMinCycle = 2, kMaxCycle = 8;
inline constexpr int kMaxRatchet = 4;
inline constexpr int kMaxNudge = 12;
inline constexpr int kNudgeSteps = 24; // of a stroke

constexpr int cycleCondition(int a, int b) {
    return 10 * b + a;
}

// Whether `condition` is one the program knows: always, first, not first,
// fill, not fill, or A:B with B 2..8 and A 1..B.
bool isCondition(int condition);

// Every value in its range, an unknown condition as always.
StepVariation inRange(StepVariation v);

// A step that plays every pass, once, on the grid.
inline bool isPlain(const StepVariation& v) {
    return inRange(v) == StepVariation{};
}

// Whether the step plays on pass `pass` (from 1 at Play) under `condition`,
// with `fill` saying whether a fill plays or is held.
bool conditionHolds(int condition, int pass, bool fill);

// Whether a step of `chance` percent plays on pass `pass` of a run: a draw
// of its own for every seed, run, pass and cell, so that what plays live,
// renders and exports with one seed is the same whatever else draws.
bool chanceHolds(uint64_t seed, uint32_t run, int pass, int cell, int chance);

// The variation as one atomic cell of the model holds it, 0 for a plain
// step, so that a step's four values are always read together.
int32_t packVariation(const StepVariation& v);
StepVariation unpackVariation(int32_t packed);

} // namespace zumbal

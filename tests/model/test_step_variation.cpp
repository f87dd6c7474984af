#include "model/StepVariation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace zumbal {
namespace {

TEST(StepVariation, ConditionsOnThePassAndTheFill) {
    struct Case {
        int condition;
        bool fill;
        std::vector<bool> passes; // 1..8
    };
    const std::vector<Case> cases{
        {kAlways, false, {1, 1, 1, 1, 1, 1, 1, 1}},
        {kFirstPass, false, {1, 0, 0, 0, 0, 0, 0, 0}},
        {kNotFirstPass, false, {0, 1, 1, 1, 1, 1, 1, 1}},
        {kFillOnly, false, {0, 0, 0, 0, 0, 0, 0, 0}},
        {kFillOnly, true, {1, 1, 1, 1, 1, 1, 1, 1}},
        {kNotFill, true, {0, 0, 0, 0, 0, 0, 0, 0}},
        {cycleCondition(1, 2), false, {1, 0, 1, 0, 1, 0, 1, 0}},
        {cycleCondition(2, 4), true, {0, 1, 0, 0, 0, 1, 0, 0}},
        {cycleCondition(3, 3), false, {0, 0, 1, 0, 0, 1, 0, 0}},
        {cycleCondition(8, 8), false, {0, 0, 0, 0, 0, 0, 0, 1}},
        {cycleCondition(5, 4), false, {1, 1, 1, 1, 1, 1, 1, 1}}, // unknown: always
    };
    for (const Case& c : cases)
        for (int pass = 1; pass <= 8; ++pass)
            EXPECT_EQ(conditionHolds(c.condition, pass, c.fill), c.passes[pass - 1])
                << c.condition << " pass " << pass;
}

TEST(StepVariation, PacksEveryValueInRangeAndPlainIsZero) {
    EXPECT_EQ(packVariation({}), 0);
    EXPECT_EQ(unpackVariation(0), StepVariation{});
    for (int chance : {1, 37, 100})
        for (int condition : {kAlways, kNotFill, cycleCondition(1, 2), cycleCondition(8, 8)})
            for (int ratchet = 1; ratchet <= kMaxRatchet; ++ratchet)
                for (int nudge : {-kMaxNudge, -1, 0, 5, kMaxNudge}) {
                    const StepVariation v{chance, condition, ratchet, nudge};
                    EXPECT_EQ(unpackVariation(packVariation(v)), v);
                }
    EXPECT_EQ(unpackVariation(packVariation({-4, 79, 9, -40})),
              (StepVariation{1, kAlways, kMaxRatchet, -kMaxNudge}));
}

// The chance draws for one seed repeat exactly, differ between seeds and
// runs, and play about as often as the chance says.
TEST(StepVariation, ChanceIsADrawOfItsOwnPerSeedRunPassAndCell) {
    for (const int chance : {1, 25, 50, 90}) {
        int played = 0, sameOtherSeed = 0, sameOtherRun = 0;
        const int draws = 20000;
        for (int i = 0; i < draws; ++i) {
            const bool a = chanceHolds(7, 0, i / 112 + 1, i % 112, chance);
            EXPECT_EQ(a, chanceHolds(7, 0, i / 112 + 1, i % 112, chance));
            played += a;
            sameOtherSeed += a == chanceHolds(8, 0, i / 112 + 1, i % 112, chance);
            sameOtherRun += a == chanceHolds(7, 1, i / 112 + 1, i % 112, chance);
        }
        EXPECT_NEAR(played, draws * chance / 100.0, 4 * std::sqrt(draws * 0.25)) << chance;
        EXPECT_LT(sameOtherSeed, draws - 50) << chance;
        EXPECT_LT(sameOtherRun, draws - 50) << chance;
    }
    EXPECT_TRUE(chanceHolds(1, 2, 3, 4, 100));
}

} // namespace
} // namespace zumbal

#include "playback/StrokeStep.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace zumbal {

NotePlayers makeNotePlayers(NoteOutput& out) {
    return {NotePlayer(out, 0), NotePlayer(out, 1), NotePlayer(out, 2), NotePlayer(out, 3),
            NotePlayer(out, 4), NotePlayer(out, 5), NotePlayer(out, 6)};
}

namespace {

// The steps of a stroke played with the moment they vary in; playStroke's
// plain call has none, and every step plays as written.
struct Varying {
    const StrokeMoment& moment;
    ScheduledEvents& schedule;
};

// The variation cell `c` plays with, or none for a plain step.
std::optional<StepVariation> variationOf(const globali& g, int c, const Varying* varying) {
    if (!varying)
        return std::nullopt;
    const int32_t packed = g.vary[c];
    if (packed == 0)
        return std::nullopt;
    const StepVariation v = unpackVariation(packed);
    if (isPlain(v))
        return std::nullopt;
    return v;
}

// A random hit keeps its own draw in place of the chance.
bool sounds(const StepVariation& v, int c, int code, const StrokeMoment& m) {
    if (!conditionHolds(v.condition, m.pass, m.fill))
        return false;
    return code == kRandomHit || chanceHolds(m.seed, m.run, m.pass, c, v.chance);
}

// Calls `strike` for each of the step's strikes, with the schedule's due
// sample on that strike's.
template <class Strike>
void strikeEach(const StepVariation& v, const Varying& varying, Strike&& strike) {
    std::array<double, kMaxRatchet> dues{};
    const int n = strikeDues(v, varying.moment, dues);
    for (int k = 0; k < n; ++k) {
        varying.schedule.setDue(dues[k]);
        strike();
    }
    varying.schedule.setDue(varying.moment.due);
}

void playDrums(globali& g, NotePlayers& NotePl, RandomSource& random, int battito,
               const Varying* varying) {
    for (int t = 0; t < kDrumTracks; ++t) {
        if (!isOn(g.pb[t]))
            continue;
        const int c = cellIndex(t, battito);
        const int note = g.edfiv[t][0];
        const int code = g.pp[c];
        int velocity = 0;
        if (code == kHit) {
            velocity = g.volum[c];
        } else if (code == kRandomHit) {
            // Drawn whether or not the step sounds, so that the numbers
            // after it stay those of a plain loop.
            const double r = random.next();
            if (r <= 0.75)
                continue;
            velocity = static_cast<int>(std::trunc(g.volum[c] * r));
        } else {
            continue;
        }
        const auto hit = [&] {
            NotePl[t].PlayNote(note, 0);
            NotePl[t].PlayNote(note, velocity);
        };
        if (const auto v = variationOf(g, c, varying)) {
            if (sounds(*v, c, code, varying->moment))
                strikeEach(*v, *varying, hit);
        } else {
            hit();
        }
    }
}

void playBass(globali& g, NotePlayer& bass, int battito, const Varying* varying) {
    auto& ultima = g.basso_ultima;
    if (!isOn(g.pb[kBassButton])) {
        bass.PlayNote(ultima[0], 0);
        return;
    }
    if (ultima[1] > 0) {
        ultima[1] = ultima[1] + 1;
        if (ultima[1] > 3)
            bass.PlayNote(ultima[0], 0);
    }
    const int c = cellIndex(kBassTrack, battito);
    const int code = g.pp[c];
    if (code <= kBassRest)
        return;
    // Every strike ends the sounding note and starts the step's again.
    const auto strike = [&] {
        bass.PlayNote(ultima[0], 0);
        ultima[0] = code;
        ultima[1] = 1;
        bass.PlayNote(code, g.volum[c]);
    };
    if (const auto v = variationOf(g, c, varying)) {
        // A step that stays silent is a rest: the note before it rings on.
        if (sounds(*v, c, code, varying->moment))
            strikeEach(*v, *varying, strike);
    } else {
        strike();
    }
}

int strokeStep(globali& g, NotePlayers& NotePl, RandomSource& random, const Varying* varying) {
    const int battito = g.battito;
    if (battito <= 0 || battito > kStrokes)
        return 0;
    playDrums(g, NotePl, random, battito, varying);
    playBass(g, NotePl[kBassTrack], battito, varying);
    int expected = battito;
    g.battito.compare_exchange_strong(expected, nextStroke(battito, g.ter_3_4, g.ter_ter));
    return battito;
}

} // namespace

int nextStroke(int battito, bool ter_3_4, bool ter_ter) {
    // 3/4 switched on past stroke 12 lets the bar run on to 16 this once.
    const bool threeFour = ter_3_4 && battito < 13;
    // Stroke 1 is always played, so the walk ends within a bar.
    do
        battito = battito >= kStrokes ? 1 : battito + 1;
    while (!isPlayedStroke(battito, threeFour, ter_ter));
    return battito;
}

double indicatorHue(int battito) {
    return (battito / 2.0 - std::trunc(battito / 2.0)) / 2.0;
}

int playStroke(globali& g, NotePlayers& NotePl, RandomSource& random) {
    return strokeStep(g, NotePl, random, nullptr);
}

int playStroke(globali& g, NotePlayers& NotePl, RandomSource& random, const StrokeMoment& moment,
               ScheduledEvents& schedule) {
    const Varying varying{moment, schedule};
    return strokeStep(g, NotePl, random, &varying);
}

int strikeDues(const StepVariation& v, const StrokeMoment& moment,
               std::array<double, kMaxRatchet>& dues) {
    const int n = std::clamp(v.ratchet, 1, kMaxRatchet);
    const double start = moment.due + v.nudge * moment.nudgeUnit;
    const double length = std::max(moment.next - moment.due, 0.0);
    const double last = std::max(moment.previous, moment.next);
    // A strike that a neighbour's clamp puts on the one before it is the
    // same hit: it is struck once, as the export writes it.
    int strikes = 0;
    for (int k = 0; k < n; ++k) {
        const double at = std::clamp(start + k * length / n, moment.previous, last);
        if (strikes == 0 || at > dues[strikes - 1])
            dues[strikes++] = at;
    }
    return strikes;
}

int earlyNudge(const globali& g, int battito) {
    if (battito <= 0 || battito > kStrokes)
        return 0;
    int early = 0;
    for (int t = 0; t < kTracks; ++t) {
        const int c = cellIndex(t, battito);
        const int32_t packed = g.vary[c];
        if (packed == 0 || !isOn(g.pb[t < kDrumTracks ? t : kBassButton]) || !isStep(c, g.pp[c]))
            continue;
        early = std::max(early, -unpackVariation(packed).nudge);
    }
    return early;
}

} // namespace zumbal

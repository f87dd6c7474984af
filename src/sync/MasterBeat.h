#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace zumbal::sync {

// A timebase master's position as JACK's transport carries it, in the
// master's own beats: bar and beat count from 1, tick from 0.
struct Bbt {
    int32_t bar = 1;
    int32_t beat = 1;
    int32_t tick = 0;
    double ticksPerBeat = 1920;
    float beatsPerBar = 4;
    float beatType = 4;
    double beatsPerMinute = 120;
};

// Where a master's beat is at one frame: quarter notes since its bar 1,
// beat 1, and its tempo in quarter notes a minute.
struct MasterBeat {
    double quarters = 0;
    double quartersPerMinute = 120;
};

// The master's beat from its BBT, afresh; nothing when the fields do not
// make a position (tick past the beat, no beats in the bar, no tempo), so
// that the cycle keeps the last good one.
std::optional<MasterBeat> beatFromBbt(const Bbt& bbt);

// What Zumbal publishes as the timebase master at `quarters` since its
// start, at `quartersPerMinute`: bars of 4 quarters (3 under 3/4), quarter
// beats, 1920 ticks a beat. `fineTick` is the tick with its fraction.
struct PublishedBbt {
    Bbt bbt;
    double fineTick = 0;
    double barStartTick = 0;
};
PublishedBbt bbtAt(double quarters, double quartersPerMinute, bool threeFour);

// Zumbal's own beat at one frame, as it leads: the bar in progress, counted
// from 1 at its run's stroke 1 (0 in the count-in before it), and the
// quarters into that bar (in the count-in, minus the time still to stroke
// 1), its tempo in quarter notes a minute and its meter. The bars are
// counted as they are played, so that a loop of another meter or feel
// switched in at the bar line goes on from the next bar.
struct OwnBeat {
    bool playing = false;
    uint32_t run = 0; // counts Zumbal's plays: a new one was a Play
    int64_t bar = 0;
    double quartersInBar = 0;
    double quartersPerMinute = 120;
    bool threeFour = false;
};
// What Zumbal publishes at `beat`: bar 1 beat 1 tick 0 until stroke 1.
PublishedBbt bbtAt(const OwnBeat& beat);

// A transport without a timebase master: its frame, at the follower's own
// tempo, frame 0 being bar 1.
MasterBeat beatFromFrame(int64_t frame, int rate, double quartersPerMinute);

// The stroke (1..16) that the `index`-th played stroke since bar 1 is, the
// bar being 4 quarters, 3 under 3/4.
int strokeOfIndex(int64_t index, bool threeFour, bool ternary);

// One of the follower's strokes in a buffer.
struct DueStroke {
    int frame = 0;     // within the buffer
    int stroke = 1;    // in the bar, 1..16
    int64_t index = 0; // played strokes since the master's bar 1
};

// Zumbal's grid laid on a master's beat: 4 strokes a quarter (3 under the
// ternary feel), a bar of 4 quarters (3 under 3/4) counted from the
// master's bar 1. Fed the beat at each buffer's first frame, it gives the
// strokes due in the buffer on the frames nearest their ideal ones, each
// stroke once however the buffers cut the beat; a locate or a tempo jump
// simply lays the grid again from where the master now is.
class BeatGrid {
public:
    void setFeel(bool threeFour, bool ternary);
    // Forgets the strokes given so far (the master started again).
    void reset() { m_next.reset(); }

    // The strokes due in `frames` frames from `beat` on, at `rate`, into
    // `out` (cleared first; allocated by the caller to hold a buffer's).
    void due(const MasterBeat& beat, int frames, int rate, std::vector<DueStroke>& out);

private:
    int m_strokesPerQuarter = 4;
    bool m_threeFour = false, m_ternary = false;
    std::optional<int64_t> m_next; // the next stroke index to give
};

} // namespace zumbal::sync

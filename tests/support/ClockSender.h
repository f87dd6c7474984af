#pragma once

#include "sync/MasterBeat.h"
#include "sync/MidiClockFollower.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <vector>

namespace zumbal::test {

// A MIDI clock master on a virtual clock: clocks at a tempo that may step
// or ramp, Start, Stop, Continue and Song Position Pointer, each arriving
// with uniform jitter but in the order sent. It notes the ideal frame of
// every clock it sends while playing, by its song position.
class ClockSender {
public:
    ClockSender(int rate, double bpm, double jitterMs, unsigned seed = 1)
        : m_rate(rate), m_bpm(bpm), m_jitter(-jitterMs, jitterMs), m_random(seed) {}

    struct Message {
        int64_t frame;
        std::vector<uint8_t> bytes;
    };

    // `n` clocks, the tempo moving evenly to `toBpm` over them.
    ClockSender& clocks(int n, double toBpm = 0) {
        const double from = m_bpm, to = toBpm > 0 ? toBpm : m_bpm;
        for (int i = 0; i < n; ++i) {
            m_bpm = from + (to - from) * (i + 1) / n;
            if (m_playing)
                ideal.emplace(m_position++, m_at);
            if (!m_drop)
                arrive(m_at, {0xF8});
            m_drop = false;
            m_at += 60.0 * m_rate / (m_bpm * 24);
        }
        return *this;
    }
    ClockSender& tempo(double bpm) {
        m_bpm = bpm;
        return *this;
    }
    ClockSender& drop() {
        m_drop = true;
        return *this;
    }
    ClockSender& pause(double seconds) {
        m_at += seconds * m_rate;
        return *this;
    }
    // A transport message, `msBefore` the next clock.
    ClockSender& send(std::vector<uint8_t> bytes, double msBefore = 1) {
        if (bytes[0] == 0xFA)
            m_position = 0;
        if (bytes[0] == 0xF2)
            m_position = (bytes[1] | bytes[2] << 7) * 6;
        if (bytes[0] != 0xF2)
            m_playing = bytes[0] != 0xFC;
        arrive(m_at - msBefore * m_rate / 1000, std::move(bytes));
        return *this;
    }

    std::vector<Message> messages;
    std::multimap<int64_t, double> ideal; // song position (clocks): ideal frame

private:
    void arrive(double frame, std::vector<uint8_t> bytes) {
        const int64_t stamp = std::llround(frame + m_jitter(m_random) * m_rate / 1000);
        messages.push_back(
            {messages.empty() ? stamp : std::max(stamp, messages.back().frame), std::move(bytes)});
    }

    int m_rate;
    double m_bpm, m_at = 0;
    int64_t m_position = 0;
    bool m_playing = false, m_drop = false;
    std::uniform_real_distribution<double> m_jitter;
    std::mt19937 m_random;
};

// The strokes a follower makes of a sender's messages as the engine will:
// buffer after buffer, the messages stamped up to `lookAhead` frames
// before the buffer received, then its beat laid on Zumbal's grid.
struct FollowedStroke {
    int64_t frame, index;
    double error; // frames from its clock's ideal frame
};
struct FollowRun {
    explicit FollowRun(int rate) : rate(rate), follower(rate, status) {}

    void play(const ClockSender& sender, int64_t frames, int buffer = 256, int lookAhead = 0,
              bool ternary = false) {
        sync::BeatGrid grid;
        grid.setFeel(false, ternary);
        std::vector<sync::DueStroke> due;
        bool following = false;
        double last = 0;
        auto next = sender.messages.begin();
        for (int64_t at = 0; at < frames; at += buffer) {
            for (; next != sender.messages.end() && next->frame <= at - lookAhead; ++next)
                follower.received(next->bytes.data(), next->bytes.size(), next->frame);
            const sync::SourceBeat beat = follower.at(at, at - lookAhead);
            states.push_back({status.state(), beat.rolling});
            tempos.push_back(status.quartersPerMinute());
            if (!beat.rolling || !beat.locked) {
                grid.reset();
                following = false;
                continue;
            }
            if (following)
                backwards = std::max(backwards, last - beat.beat.quarters);
            following = true;
            last = beat.beat.quarters;
            grid.due(beat.beat, buffer, rate, due);
            for (const sync::DueStroke& d : due)
                strokes.push_back(judged(sender, at + d.frame, d.index, ternary ? 8 : 6));
        }
    }

    int rate;
    sync::SyncStatus status;
    sync::MidiClockFollower follower;
    std::vector<FollowedStroke> strokes;
    struct State {
        sync::SyncState state;
        bool rolling;
    };
    std::vector<State> states; // at each buffer
    std::vector<double> tempos;
    double backwards = 0; // the largest step back of the beat while following, quarters

private:
    // A stroke against the nearest ideal frame of its clock.
    static FollowedStroke judged(const ClockSender& sender, int64_t frame, int64_t index,
                                 int clocksPerStroke) {
        FollowedStroke out{frame, index, 1e9}; // 1e9: a stroke of no clock sent
        auto [first, last] = sender.ideal.equal_range(index * clocksPerStroke);
        for (; first != last; ++first)
            if (std::fabs(static_cast<double>(frame) - first->second) < std::fabs(out.error))
                out.error = static_cast<double>(frame) - first->second;
        return out;
    }
};

} // namespace zumbal::test

#pragma once

#include "playback/NoteOutput.h"
#include "playback/PlaybackEngine.h"
#include "playback/RandomSource.h"

#include <cstdint>
#include <deque>
#include <vector>

namespace zumbal::test {

struct NoteCall {
    int track;
    int note;
    int velocity;
    int64_t sample;
    bool operator==(const NoteCall&) const = default;
};

// Records every note the players send, with the engine position at the call.
class RecordingOutput final : public NoteOutput {
public:
    void playNote(int track, int note, int velocity) override {
        calls.push_back({track, note, velocity, engine ? engine->now() : 0});
    }
    void setInstrument(int track, int instrument) override {
        instruments.push_back({track, instrument});
    }

    const PlaybackEngine* engine = nullptr;
    std::vector<NoteCall> calls;
    std::vector<std::pair<int, int>> instruments;
};

// Hands out the numbers it was given, in order, then 0.
class ScriptedRandom final : public RandomSource {
public:
    explicit ScriptedRandom(std::deque<double> values) : m_values(std::move(values)) {}
    double next() override {
        if (m_values.empty())
            return 0.0;
        const double v = m_values.front();
        m_values.pop_front();
        return v;
    }

private:
    std::deque<double> m_values;
};

} // namespace zumbal::test

#pragma once

#include "playback/PlaybackEngine.h"

#include <vector>

namespace zumbal::test {

struct NoteCall {
    int track, note, velocity;
    int64_t sample;
    bool operator==(const NoteCall&) const = default;
};

// Records every note the players send, stamped with the engine position
// (or, without an engine, with `stamp`).
struct RecordingOutput final : NoteOutput {
    void playNote(int track, int note, int velocity) override {
        calls.push_back({track, note, velocity, engine ? engine->now() : stamp});
    }
    void setInstrument(int, int) override {}
    const PlaybackEngine* engine = nullptr;
    int64_t stamp = 0;
    std::vector<NoteCall> calls;
};

// Hands out `values` in order, then 0.
struct ScriptedRandom final : RandomSource {
    double next() override { return used < values.size() ? values[used++] : 0.0; }
    std::vector<double> values;
    size_t used = 0;
};

} // namespace zumbal::test

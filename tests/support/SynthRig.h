#pragma once

#include "playback/PlaybackEngine.h"
#include "playback/Synth.h"

#include <algorithm>
#include <string>

namespace zumbal::test {

// The engine over a real synth on a SoundFont, as SoundSystem plays them,
// with the synth rendered either in the pieces the engine asks for or cut
// at every block boundary, in as many calls as rendering block by block.
struct SynthRig {
    explicit SynthRig(const std::string& soundFont) {
        std::string error;
        loaded = synth.loadSoundFont(soundFont, error);
        if (loaded)
            out.setupChannels();
    }

    void period(float* left, float* right, int frames, bool byBlock) {
        const int64_t begin = engine.now();
        engine.process(frames, [&](int offset, int count) {
            while (count > 0) {
                const int64_t edge =
                    PlaybackEngine::kBlock - (begin + offset) % PlaybackEngine::kBlock;
                const int n = byBlock ? static_cast<int>(std::min<int64_t>(count, edge)) : count;
                synth.render(left + offset, right + offset, n);
                offset += n;
                count -= n;
            }
        });
    }

    globali g;
    Synth synth; // at 44100 Hz
    FluidNoteOutput out{synth};
    SeededRandom random{1};
    PlaybackEngine engine{g, out, random, synth.sampleRate()};
    bool loaded = false;
};

} // namespace zumbal::test

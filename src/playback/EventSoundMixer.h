#pragma once

#include "model/PcmClip.h"

#include <array>
#include <atomic>
#include <cstdint>

namespace zumbal {

// Mixes the event sounds into the audio callback. The GUI thread asks for a
// sound through a fixed single-producer, single-consumer queue; the audio
// thread starts it on a free voice. Nothing here locks or allocates.
class EventSoundMixer {
public:
    static constexpr int kQueue = 32;
    static constexpr int kVoices = 8;
    static constexpr int kClipRate = 44100;

    // GUI thread. The clip must outlive the mixer. A full queue drops the request.
    void play(const PcmClip& clip);

    // While no audio runs: the clips are played back at `rate`.
    void setSampleRate(int rate) { m_step = static_cast<double>(kClipRate) / rate; }

    // Audio thread.
    void mixInto(float* left, float* right, int frames);

private:
    struct Voice {
        const PcmClip* clip = nullptr;
        double pos = 0; // in the clip's frames
    };

    std::array<std::atomic<const PcmClip*>, kQueue> m_queue{};
    std::atomic<uint32_t> m_head{0}; // next slot the GUI writes
    std::atomic<uint32_t> m_tail{0}; // next slot the audio thread reads
    std::array<Voice, kVoices> m_voices{};
    double m_step = 1; // clip frames per output frame
};

} // namespace zumbal

#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

namespace zumbal {

// A decoded sound at the output's sample rate.
struct PcmClip {
    std::vector<float> left;
    std::vector<float> right;
    size_t frames() const { return left.size(); }
};

// Mixes the event sounds into the audio callback. The GUI thread asks for a
// sound through a fixed single-producer, single-consumer queue; the audio
// thread starts it on a free voice. Nothing here locks or allocates.
class EventSoundMixer {
public:
    static constexpr int kQueue = 32;
    static constexpr int kVoices = 8;

    // GUI thread. The clip must outlive the mixer. A full queue drops the request.
    void play(const PcmClip& clip);

    // Audio thread.
    void mixInto(float* left, float* right, int frames);

private:
    struct Voice {
        const PcmClip* clip = nullptr;
        size_t pos = 0;
    };

    std::array<std::atomic<const PcmClip*>, kQueue> m_queue{};
    std::atomic<uint32_t> m_head{0}; // next slot the GUI writes
    std::atomic<uint32_t> m_tail{0}; // next slot the audio thread reads
    std::array<Voice, kVoices> m_voices{};
};

} // namespace zumbal

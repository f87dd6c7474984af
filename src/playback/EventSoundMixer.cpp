#include "playback/EventSoundMixer.h"

#include <algorithm>

namespace zumbal {

void EventSoundMixer::play(const PcmClip& clip) {
    const uint32_t head = m_head.load(std::memory_order_relaxed);
    if (head - m_tail.load(std::memory_order_acquire) >= kQueue)
        return;
    m_queue[head % kQueue].store(&clip, std::memory_order_relaxed);
    m_head.store(head + 1, std::memory_order_release);
}

void EventSoundMixer::mixInto(float* left, float* right, int frames) {
    uint32_t tail = m_tail.load(std::memory_order_relaxed);
    const uint32_t head = m_head.load(std::memory_order_acquire);
    for (; tail != head; ++tail) {
        const PcmClip* clip = m_queue[tail % kQueue].load(std::memory_order_relaxed);
        auto free = std::find_if(m_voices.begin(), m_voices.end(),
                                 [](const Voice& v) { return v.clip == nullptr; });
        if (free != m_voices.end())
            *free = Voice{clip, 0};
    }
    m_tail.store(tail, std::memory_order_release);

    for (Voice& v : m_voices) {
        if (!v.clip)
            continue;
        const size_t end = v.clip->frames();
        if (m_step == 1) {
            const auto from = static_cast<size_t>(v.pos);
            const size_t n = std::min<size_t>(frames, end - from);
            for (size_t i = 0; i < n; ++i) {
                left[i] += v.clip->left[from + i];
                right[i] += v.clip->right[from + i];
            }
            v.pos += static_cast<double>(n);
        } else {
            // Linear interpolation is plenty for short interface sounds.
            for (int i = 0; i < frames && v.pos + 1 < static_cast<double>(end); ++i) {
                const auto at = static_cast<size_t>(v.pos);
                const auto frac = static_cast<float>(v.pos - static_cast<double>(at));
                left[i] += v.clip->left[at] + frac * (v.clip->left[at + 1] - v.clip->left[at]);
                right[i] += v.clip->right[at] + frac * (v.clip->right[at + 1] - v.clip->right[at]);
                v.pos += m_step;
            }
            if (v.pos + 1 >= static_cast<double>(end))
                v.pos = static_cast<double>(end);
        }
        if (v.pos >= static_cast<double>(end))
            v = Voice{};
    }
}

} // namespace zumbal

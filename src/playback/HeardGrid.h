#pragma once

#include <cstdint>

namespace zumbal {

// When the sound is heard: the monotonic time (CLOCK_MONOTONIC, ns) at which
// the frame after the last one played reaches the listener. The outputs
// differ in how long a frame takes from the render to the speaker, so when
// one takes over from another the clock cannot just go on from where the
// last callback left it: the new output's first sound is placed where the
// grid of the old one puts it, and the beat comes back where it was.
//
// Audio thread only, but for realign(), which is called while no callbacks run.
class HeardGrid {
public:
    // The devices' reports jitter; deviations up to this much are smoothed
    // over, a larger one (the device skipped or dropped sound) is taken as it is.
    static constexpr int64_t kJumpNs = 20'000'000;
    // Smoothing: a report moves the grid by this fraction of its deviation.
    static constexpr int kSmoothing = 8;
    // A report this long after the grid's last frame starts a new grid: the
    // beat is lost anyway (a suspended machine).
    static constexpr int64_t kLostNs = 2'000'000'000;
    // An output that cannot tell when it plays is given this long, in
    // seconds of silence, before it plays where it stands.
    static constexpr int kPatienceSeconds = 1;
    // A new output plays this much silence, in fractions of a second, before
    // its report counts: a server just started is still settling its clock.
    static constexpr int kSettleDivisor = 10;

    struct Placement {
        // Play silence and leave the clock where it is: the output would
        // sound the grid's next frame too early.
        bool silent = false;
        // Frames the clock moves on before the buffer renders.
        int64_t skip = 0;
    };

    // The next output lines its first sound up with the grid.
    void realign() {
        m_aligning = true;
        m_silentFrames = 0;
    }
    bool aligning() const { return m_aligning; }

    // For a buffer whose first frame is heard at `heardNs` (0: the output
    // cannot tell yet), at `rate`: what to do before it renders.
    Placement place(int64_t heardNs, int rate) {
        if (m_endNs == 0)
            m_aligning = false; // nothing to line up with
        if (!m_aligning)
            return {};
        const int64_t ahead = heardNs - m_endNs;
        if (heardNs == 0 || ahead < 0 || m_silentFrames < rate / kSettleDivisor) {
            if (m_silentFrames < int64_t{kPatienceSeconds} * rate)
                return {true, 0};
            m_aligning = false;
            m_endNs = 0;
            return {};
        }
        m_aligning = false;
        if (ahead > kLostNs) {
            m_endNs = 0;
            return {};
        }
        m_endNs = heardNs;
        return {false, framesIn(ahead, rate)};
    }

    // `frames` of silence were played in place of the clock's.
    void waited(int frames) { m_silentFrames += frames; }

    // `frames` were played from `heardNs` on (0: straight after
    // the last ones).
    void played(int64_t heardNs, int frames, int rate) {
        if (heardNs != 0) {
            const int64_t off = heardNs - m_endNs;
            if (m_endNs == 0 || off > kJumpNs || off < -kJumpNs)
                m_endNs = heardNs;
            else
                m_endNs += off / kSmoothing;
        }
        if (m_endNs != 0)
            m_endNs += nsIn(frames, rate);
    }

    // The frames the clock moved on by without a buffer (a device's underrun).
    void skipped(int64_t frames, int rate) {
        if (m_endNs != 0)
            m_endNs += nsIn(frames, rate);
    }

    int64_t endNs() const { return m_endNs; }

private:
    static int64_t nsIn(int64_t frames, int rate) { return frames * 1'000'000'000 / rate; }
    static int64_t framesIn(int64_t ns, int rate) {
        return (ns * rate + 500'000'000) / 1'000'000'000;
    }

    int64_t m_endNs = 0; // 0: nothing played yet
    bool m_aligning = false;
    int64_t m_silentFrames = 0;
};

} // namespace zumbal

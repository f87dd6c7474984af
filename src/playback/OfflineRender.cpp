#include "playback/OfflineRender.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace zumbal {

namespace {

double strokeLength(int tempo, int rate) {
    return rate * 15.0 / std::clamp<int>(tempo, kMinTempo, kMaxTempo);
}

int partStrokes(const RenderPart& part) {
    return part.passes * strokesInBar(part.threeFour, part.ternary);
}

} // namespace

RenderPart loopPart(const globali& g, int passes) {
    return {passes, g.tempo, g.ter_3_4, g.ter_ter, nullptr};
}

int64_t partsLength(const std::vector<RenderPart>& parts, int rate) {
    double length = 0;
    for (const RenderPart& part : parts)
        length += partStrokes(part) * strokeLength(part.tempo, rate);
    return std::llround(length);
}

int64_t passesLength(const globali& g, int repeats, int rate) {
    return partsLength({loopPart(g, repeats)}, rate);
}

RenderResult renderLoop(SoundSystem& sound, const globali& g, int repeats, const AudioSink& sink) {
    return renderParts(sound, g, {loopPart(g, repeats)}, sink);
}

RenderResult renderParts(SoundSystem& sound, const globali& g, const std::vector<RenderPart>& parts,
                         const AudioSink& sink) {
    PlaybackEngine& engine = sound.engine();
    const int rate = engine.sampleRate();
    const int64_t start = engine.now();
    // A part's change is handed to the engine halfway through the last bar
    // of the part before: after that bar's stroke 1, which would take it
    // too early, and far ahead of the part's own, which even humanize
    // cannot pull that close.
    std::vector<int64_t> handOver(parts.size());
    double nextDue = static_cast<double>(start);
    uint32_t strokes = 0;
    for (size_t p = 0; p < parts.size(); ++p) {
        const double stroke = strokeLength(parts[p].tempo, rate);
        if (p > 0) {
            const RenderPart& before = parts[p - 1];
            const double bar =
                strokesInBar(before.threeFour, before.ternary) * strokeLength(before.tempo, rate);
            handOver[p] = static_cast<int64_t>(std::floor(nextDue - bar / 2));
        }
        nextDue += partStrokes(parts[p]) * stroke;
        strokes += static_cast<uint32_t>(partStrokes(parts[p]));
    }
    // The engine plays a stroke at the block start nearest its due sample, so
    // up to half a block early: stopping just short of that keeps the stroke
    // after the last one from being played, and lets the last sound its length.
    const auto stopAt =
        static_cast<int64_t>(std::floor(nextDue - PlaybackEngine::kBlock / 2.0)) + 1;

    RenderResult result;
    std::vector<float> left(kRenderBuffer), right(kRenderBuffer);
    const auto renderPiece = [&](int frames) {
        sound.render(left.data(), right.data(), frames, nullptr);
        result.frames += frames;
        return sink(left.data(), right.data(), frames);
    };

    // As when the window loads a loop; the drum tracks take their sounds per note.
    sound.NotePl()[kBassTrack].setInstrument(g.edfiv[kBassTrack][0]);
    engine.start(PlaybackEngine::FirstStroke::AtStart, strokes);
    size_t next = 1; // the part whose change is handed over next
    while (engine.now() < stopAt) {
        int64_t until = stopAt;
        if (next < parts.size()) {
            if (engine.now() >= handOver[next]) {
                if (parts[next].change)
                    engine.queueAtBarLine(parts[next].change);
                ++next;
                continue;
            }
            until = std::min(until, handOver[next]);
        }
        if (!renderPiece(
                static_cast<int>(std::min<int64_t>(kRenderBuffer, until - engine.now())))) {
            engine.withdrawBarLineChange();
            return result;
        }
        // The changes are the caller's; one that landed lets the next one land.
        engine.takeLanded();
    }
    engine.stop();
    engine.withdrawBarLineChange();
    result.strokes = engine.strokesPlayed();
    result.stopFrame = engine.now();

    const auto quietNeeded = static_cast<int64_t>(std::ceil(kTailQuietSeconds * rate));
    const auto maxTail = static_cast<int64_t>(kMaxTailSeconds * rate);
    int64_t quiet = 0;
    for (int64_t tail = 0; tail < maxTail && quiet < quietNeeded;) {
        const int frames = static_cast<int>(std::min<int64_t>(kRenderBuffer, maxTail - tail));
        if (!renderPiece(frames))
            return result;
        for (int i = 0; i < frames; ++i)
            quiet = std::max(std::abs(left[i]), std::abs(right[i])) < kTailSilence ? quiet + 1 : 0;
        tail += frames;
    }
    result.tailSilent = quiet >= quietNeeded;
    result.completed = true;
    return result;
}

TailFolder::TailFolder(int64_t loopFrames, int64_t longestTail)
    : m_loopFrames(std::max<int64_t>(loopFrames, 1)) {
    // The playback stops up to half a block before the loop's end; its tail
    // starts there.
    m_start.resize(
        2 * static_cast<size_t>(std::min(m_loopFrames, longestTail + PlaybackEngine::kBlock)));
}

int TailFolder::feed(const float* left, const float* right, int frames) {
    const auto keep = static_cast<int64_t>(m_start.size() / 2);
    int own = 0;
    for (int i = 0; i < frames; ++i, ++m_fed) {
        const int64_t at = m_fed % m_loopFrames;
        if (m_fed < m_loopFrames) {
            ++own;
            if (at < keep) {
                m_start[2 * at] = left[i];
                m_start[2 * at + 1] = right[i];
            }
        } else if (at < keep) {
            m_start[2 * at] += left[i];
            m_start[2 * at + 1] += right[i];
        }
    }
    return own;
}

bool checkSoundFont(const std::string& path, std::string& error) {
    Synth probe;
    // The structure is all a load checks; the samples would only cost time.
    fluid_settings_setint(probe.settings(), "synth.dynamic-sample-loading", 1);
    return probe.loadSoundFont(path, error);
}

} // namespace zumbal

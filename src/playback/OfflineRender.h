#pragma once

#include "model/globali.h"
#include "playback/BarLineChange.h"
#include "playback/SoundSystem.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zumbal {

// A stretch of a render: `passes` passes of a loop of `tempo` and meter.
// The first part's loop is the one in the model when the render starts;
// each later part's `change`, which the caller owns, loads its loop at the
// part's first stroke 1 (none: the loop before plays on).
struct RenderPart {
    int passes = 1;
    int tempo = kStartTempo;
    bool threeFour = false;
    bool ternary = false;
    BarLineChange* change = nullptr;
};

// The loop in `g` for `passes` passes, as the engine will play it.
RenderPart loopPart(const globali& g, int passes);

// The length of the parts at `rate`: all their strokes' lengths, each at its
// part's tempo, to the nearest frame.
int64_t partsLength(const std::vector<RenderPart>& parts, int rate);

// The length of `repeats` passes of the loop in `g` at `rate`.
int64_t passesLength(const globali& g, int repeats, int rate);

// Receives the render piece by piece, at most kRenderBuffer frames at a time;
// returns false to abandon it.
using AudioSink = std::function<bool(const float* left, const float* right, int frames)>;

// The release tail ends once it stays below kTailSilence for kTailQuietSeconds,
// or after kMaxTailSeconds of it, whichever comes first.
inline constexpr float kTailSilence = 1e-4f; // -80 dBFS
inline constexpr double kTailQuietSeconds = 0.1;
inline constexpr double kMaxTailSeconds = 5;

struct RenderResult {
    uint32_t strokes = 0;  // strokes the engine played
    int64_t stopFrame = 0; // where playback stopped: the end of the last stroke
    int64_t frames = 0;    // all the sink received, release tail included
    bool tailSilent = false;
    bool completed = false; // false when the sink gave up
};

// Plays `repeats` passes of the loop in `g` through `sound`, which has not
// played yet, with its clock driven by the render instead of an audio
// device, and the bass on the loop's program. Stroke 1 falls on the first
// frame, so the file lines up with a DAW's grid; playback stops at the end of
// the last stroke's length, which ends the bass note; then the release tail
// is rendered.
RenderResult renderLoop(SoundSystem& sound, const globali& g, int repeats, const AudioSink& sink);

// As renderLoop(), for the parts one after the other: each part's stroke 1
// falls where the stroke after the last one of the part before would, so
// that every bar keeps its own tempo's length to the frame, and playback
// stops at the end of the last part's last stroke.
RenderResult renderParts(SoundSystem& sound, const globali& g, const std::vector<RenderPart>& parts,
                         const AudioSink& sink);

// Folds what rings past the end of a loop back onto its start, so that the
// loop's frames played over and over sound as if the loop had gone on.
// Frames are fed in order: those before `loopFrames` pass through unchanged
// (the caller writes them); the start that will take the fold is kept, and
// the frames after the end are added onto it, wrapping again if the ring-out
// outlasts the loop.
class TailFolder {
public:
    // `longestTail` bounds the frames that can come after the end.
    TailFolder(int64_t loopFrames, int64_t longestTail);

    // Takes the next `frames` frames; returns how many of them, from the
    // first on, belong to the loop itself.
    int feed(const float* left, const float* right, int frames);

    // The loop's first frames with the ring-out added: left and right
    // interleaved, to be written over the start.
    const std::vector<float>& foldedStart() const { return m_start; }

private:
    int64_t m_loopFrames;
    int64_t m_fed = 0;
    std::vector<float> m_start;
};

// Whether `path` is a SoundFont the synth can load, judged from its structure
// without reading its samples; `error` says why not.
bool checkSoundFont(const std::string& path, std::string& error);

} // namespace zumbal

#include "playback/SoundSystem.h"

#include "playback/AllocationCounter.h"
#include "playback/SoundFontLocator.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace zumbal {

SoundSystem::SoundSystem(globali& g, SoundOptions options)
    : m_options(std::move(options)), m_synth(m_options.synth), m_noteOutput(m_synth),
      m_gate(m_noteOutput), m_random(m_options.seed ? *m_options.seed : std::random_device{}()),
      m_engine(g, m_gate, m_random, m_options.synth.sampleRate) {}

SoundSystem::~SoundSystem() {
    m_output.reset();
}

void SoundSystem::loadSoundFont() {
    m_soundFontPath = findSoundFont(m_options.soundFont, std::getenv("ZUMBAL_SOUNDFONT"));
    std::string error = "no General MIDI SoundFont found";
    if (!m_soundFontPath.empty() && m_synth.loadSoundFont(m_soundFontPath, error)) {
        m_noteOutput.setupChannels();
        return;
    }
    std::fprintf(stderr, "zumbal: %s; playing silently\n", error.c_str());
}

void SoundSystem::startAudio() {
    OutputOptions options;
    options.drivers = m_options.drivers;
    options.device.sampleRate = m_options.synth.sampleRate;
    options.device.periodSize = m_options.synth.periodSize;
    options.device.latencyMs = m_options.latencyMs;
    options.device.connectPorts = m_options.connectPorts;
    options.device.transport = &m_jackTransport;
    options.device.leader = &m_jackLeader;
    m_output = std::make_unique<AudioOutput>(*this, std::move(options));
    const AudioStats s = m_output->stats();
    const std::string& refusals = m_output->refusals();
    char latency[48] = "";
    if (s.latencyMs > 0)
        std::snprintf(latency, sizeof latency, ", latency %.1f ms", s.latencyMs);
    std::fprintf(stderr, "zumbal: audio output: %s, %d Hz%s%s%s%s\n", s.output.c_str(),
                 s.sampleRate, latency, refusals.empty() ? "" : " (", refusals.c_str(),
                 refusals.empty() ? "" : ")");
}

bool SoundSystem::follow(sync::Source source, int tempo, bool ternary) {
    // The settings saved again leave a master followed as it is.
    if (source == m_following && source != sync::Source::Internal)
        return true;
    sync::BeatSource* master = nullptr;
    if (source == sync::Source::Link) {
        if (!m_link) {
            m_link = sync::makeLinkSession(120);
            m_linkSource = std::make_unique<sync::LinkSource>(*m_link);
        }
        // Alone, the session starts at Zumbal's tempo, play state and beat;
        // a session found keeps its own tempo.
        m_linkTempo = tempo;
        m_link->requestTempo(ternary ? tempo * 4.0 / 3 : tempo);
        m_linkSource->requestRolling(m_engine.playing());
        m_link->enable(true);
        master = m_linkSource.get();
    } else if (m_link) {
        m_link->enable(false);
    }
    // The transport comes with the JACK client, MIDI clock through its
    // midi_in or through a timed input.
    const bool jack = outputName() == "jack";
    if (source == sync::Source::JackTransport && jack)
        master = &m_jackTransport;
    else if (source == sync::Source::MidiClock &&
             (jack || m_timedMidiInput.load(std::memory_order_relaxed)))
        master = &m_midiClock;
    m_following = master ? source : sync::Source::Internal;
    m_engine.follow(master);
    return m_following == source;
}

bool SoundSystem::lead(bool on) {
    m_jackLeader.setWanted(on);
    const bool leading = m_output && m_output->leadTransport(on);
    return leading == on;
}

const sync::SyncStatus* SoundSystem::syncStatus() const {
    switch (m_following) {
    case sync::Source::JackTransport:
        return &m_jackTransport.status();
    case sync::Source::MidiClock:
        return &m_midiClock.status();
    case sync::Source::Link:
        return m_link ? &m_link->status() : nullptr;
    default:
        return nullptr;
    }
}

void SoundSystem::pollSync(int tempo, bool threeFour, bool ternary, bool linkStartStop) {
    if (m_following != sync::Source::Link)
        return;
    m_linkSource->setStartStopSync(linkStartStop);
    m_link->setQuantum(threeFour ? 3 : 4);
    if (tempo != m_linkTempo) {
        m_linkTempo = tempo;
        m_link->requestTempo(ternary ? tempo * 4.0 / 3 : tempo);
    }
    m_link->poll();
}

std::string SoundSystem::outputName() const {
    return m_output ? m_output->name() : "none";
}

std::string SoundSystem::lostOutput() const {
    return m_output ? m_output->lost() : std::string();
}

AudioStats SoundSystem::audioStats() const {
    AudioStats s = m_output ? m_output->stats() : AudioStats{};
    if (allocationsCounted())
        s.allocations = static_cast<int64_t>(audioThreadAllocations().allocations);
    return s;
}

void SoundSystem::render(float* left, float* right, int frames, MidiSink* midi) {
    if (m_timedMidiInput.load(std::memory_order_relaxed))
        takeTimedMidi();
    m_engine.process(
        frames,
        [&](int offset, int count) { m_synth.render(left + offset, right + offset, count); }, midi);
    m_jackLeader.publish(m_engine.ownBeat());
    m_mixer.mixInto(left, right, frames);
}

void SoundSystem::takeTimedMidi() {
    const int64_t now = monotonicNs();
    const sync::HeardFrames heard{m_engine.now(), m_heardNs > 0 ? m_heardNs : now,
                                  m_engine.sampleRate()};
    m_timedMidi.drain([&](const sync::TimedMidiQueue::Event& e) {
        m_midiClock.received(e.bytes, e.size, heard.frameAt(e.ns));
    });
    m_midiClock.setNow(heard.frameAt(now));
}

void SoundSystem::skip(int frames) {
    moveClock(frames);
}

void SoundSystem::moveClock(int64_t frames) {
    if (frames <= 0)
        return;
    if (frames > int64_t{kMaxFollowedSeconds} * m_engine.sampleRate()) {
        m_engine.jump(frames);
    } else {
        // The strokes and clocks due in the gap are decided and dropped, so
        // that those after it stay on their grid; their note-offs still end
        // what sounds.
        m_gate.setOpen(false);
        for (int64_t done = 0; done < frames;) {
            const int n = static_cast<int>(std::min<int64_t>(frames - done, kRenderBuffer));
            m_engine.process(n, [](int, int) {});
            done += n;
        }
        m_gate.setOpen(true);
    }
    // The synth starts notes only at the start of one of its 64-frame
    // blocks, which must stay the engine's blocks: it renders, into scratch,
    // as many frames as the gap has beyond whole blocks.
    if (const int rest = static_cast<int>(frames % PlaybackEngine::kBlock))
        m_synth.render(m_scratchLeft.data(), m_scratchRight.data(), rest);
}

void SoundSystem::prepare(int64_t missedFrames, int sampleRate) {
    m_synth.release();
    // What sounded when the last output stopped would otherwise go on from
    // where it was cut, a gap later, off the beat.
    m_synth.silence();
    moveClock(missedFrames);
    m_synth.setSampleRate(sampleRate);
    m_engine.setSampleRate(sampleRate);
    m_mixer.setSampleRate(sampleRate);
    m_synth.release();
}

} // namespace zumbal

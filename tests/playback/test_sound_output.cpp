#include "playback/AllocationCounter.h"
#include "playback/HeardGrid.h"
#include "playback/OfflineRender.h"
#include "playback/SoundFontLocator.h"
#include "playback/SoundSystem.h"
#include "support/SynthRig.h"

#include <malloc.h>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <thread>
#include <tuple>

namespace zumbal {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Counts what the output asks of it.
struct CountingClient final : AudioClient {
    void render(float*, float*, int frames, MidiSink*) override { rendered += frames; }
    void skip(int frames) override { skipped += frames; }
    void midiReceived(const uint8_t*, size_t, int) override {}
    void prepare(int64_t missed, int sampleRate) override {
        skipped += missed;
        rate = sampleRate;
    }
    std::atomic<int64_t> rendered{0}, skipped{0};
    std::atomic<int> rate{0};
};

TEST(AudioOutput, WithoutADeviceTheWallClockPacesTheCallback) {
    for (const std::vector<std::string>& drivers :
         {std::vector<std::string>{"no-such-driver"}, {"null", "alsa"}}) {
        CountingClient client;
        {
            AudioOutput output(client, {drivers, {}});
            EXPECT_EQ(output.name(), "null");
            EXPECT_EQ(output.lost(), "");
            // Only an output that was tried and refused has a reason to give.
            EXPECT_EQ(output.refusals().empty(), drivers[0] == "null") << output.refusals();
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
        // About 0.3 s of frames: neither stalled nor free-running.
        EXPECT_GT(client.rendered.load(), 44100 / 10) << drivers[0];
        EXPECT_LT(client.rendered.load(), 44100) << drivers[0];
        EXPECT_EQ(client.rate.load(), 44100);
    }
}

// Told 48000 Hz at open, its callbacks run at 96000 Hz: a JACK client of
// PipeWire's after its graph was forced to another rate.
class RateShiftingDevice final : public AudioDevice {
public:
    RateShiftingDevice(AudioSource& source, std::atomic<int>& opens) : m_source(source) { ++opens; }
    ~RateShiftingDevice() override {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    int sampleRate() const override { return m_rate; }
    bool start(std::string&) override {
        m_thread = std::thread([this] {
            m_rate = 96000;
            std::array<float, 256> left{}, right{};
            while (!m_stop) {
                m_source.render(left.data(), right.data(), 256, nullptr);
                std::this_thread::sleep_for(2ms);
            }
        });
        return true;
    }

private:
    AudioSource& m_source;
    std::atomic<int> m_rate{48000};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// The output plays on at the rate its callbacks run at, said in one line,
// without opening the device again.
TEST(AudioOutput, FollowsTheRateTheCallbacksRunAt) {
    CountingClient client;
    std::atomic<int> opens{0};
    OutputOptions options{{"jack"}, {}};
    options.openDevice = [&](const std::string&, const DeviceOptions&, AudioSource& source,
                             std::string&) -> std::unique_ptr<AudioDevice> {
        return std::make_unique<RateShiftingDevice>(source, opens);
    };
    ::testing::internal::CaptureStderr();
    {
        AudioOutput output(client, options);
        std::this_thread::sleep_for(500ms);
        const int64_t rendered = client.rendered;
        std::this_thread::sleep_for(100ms);
        EXPECT_GT(client.rendered, rendered);
        EXPECT_EQ(output.name(), "jack");
        EXPECT_EQ(output.stats().sampleRate, 96000);
    }
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(said, "zumbal: audio output jack now runs at 96000 Hz\n");
    EXPECT_EQ(opens, 1);
    EXPECT_EQ(client.rate, 96000);
}

// The start-up loop's sound system on `soundFont`, else on none, with fixed
// random hits, on the null output.
struct Sound {
    static SoundOptions options(const std::string& soundFont) {
        SoundOptions o;
        o.soundFont = soundFont;
        o.drivers = {"null"};
        o.seed = 1;
        return o;
    }
    explicit Sound(const std::string& soundFont = "/nonexistent/zumbal.sf2")
        : sound(g, options(soundFont)) {
        setStartupLoop(g);
        setDefaultButtonStates(g);
        ::testing::internal::CaptureStderr();
        sound.loadSoundFont();
        said = ::testing::internal::GetCapturedStderr();
    }
    // Renders `repeats` passes into the peak max(|left|, |right|) of every frame.
    RenderResult render(int repeats) {
        const RenderResult r =
            renderLoop(sound, g, repeats, [&](const float* l, const float* rt, int n) {
                EXPECT_LE(n, kRenderBuffer);
                for (int i = 0; i < n; ++i)
                    peak.push_back(std::max(std::abs(l[i]), std::abs(rt[i])));
                return true;
            });
        EXPECT_EQ(static_cast<int64_t>(peak.size()), r.frames);
        return r;
    }

    globali g;
    SoundSystem sound;
    std::string said;
    std::vector<float> peak;
};

// MIDI clock through an input that stamps its messages as they come (the
// ALSA sequencer's), followed on an output without MIDI ports of its own:
// it locks at the sender's tempo and plays from its Start.
TEST(TimedMidiInput, MidiClockIsFollowedOnAnyOutput) {
    Sound s;
    SoundSystem& sound = s.sound;
    ::testing::internal::CaptureStderr();
    sound.startAudio();
    ::testing::internal::GetCapturedStderr();
    sound.engine().stop();
    EXPECT_FALSE(sound.follow(sync::Source::MidiClock)); // no MIDI input yet
    sound.useTimedMidiInput();
    ASSERT_TRUE(sound.follow(sync::Source::MidiClock));
    // 24 clocks a quarter at 125 BPM, each stamped the moment it is sent.
    const auto period = std::chrono::nanoseconds(60'000'000'000 / (125 * 24));
    auto next = std::chrono::steady_clock::now();
    const auto send = [&](uint8_t byte) { sound.timedMidiInput().push(&byte, 1, monotonicNs()); };
    for (int clock = 0; clock < 24 * 8; ++clock) {
        if (clock == 24 * 2)
            send(0xFA);
        send(0xF8);
        next += period;
        std::this_thread::sleep_until(next);
    }
    EXPECT_EQ(sound.syncStatus()->state(), sync::SyncState::Locked);
    EXPECT_NEAR(sound.syncStatus()->quartersPerMinute(), 125, 0.5);
    EXPECT_TRUE(sound.engine().playing());
    EXPECT_GE(sound.engine().strokesPlayed(), 8u); // 6 quarters after the Start
    send(0xFC);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(sound.engine().playing());
    sound.follow(sync::Source::Internal);
}

// A new output's first sound goes where the last one's grid puts it, after
// a tenth of a second of silence to settle: an output that would sound early
// plays silence, one that sounds later moves the clock on by the
// difference; one that cannot tell when it plays is given a second of
// silence, and reports that jitter are smoothed over.
TEST(HeardGrid, PlacesTheNextOutputsFirstSoundOnTheLastOnesGrid) {
    constexpr int kRate = 48000;
    constexpr int64_t kMs = 1'000'000;
    struct Report {
        int64_t heardNs;
        HeardGrid::Placement expected;
    };
    struct Case {
        const char* what;
        std::vector<Report> reports; // one 480-frame (10 ms) buffer each
        int64_t endNs;               // where the grid ends after them
    };
    // The last output played up to 1000 ms; each case is the next output.
    const std::vector<Case> cases{
        {"later", {{1'250 * kMs, {false, 12000}}}, 1'260 * kMs},
        {"early",
         {{960 * kMs, {true, 0}}, {995 * kMs, {true, 0}}, {1'030 * kMs, {false, 1440}}},
         1'040 * kMs},
        {"on it", {{1'000 * kMs, {false, 0}}, {1'011 * kMs, {}}}, 1'020 * kMs + kMs / 8},
        {"cannot tell", {{0, {true, 0}}, {2'000 * kMs, {false, 48000}}}, 2'010 * kMs},
        {"suspended", {{4'000 * kMs, {}}}, 4'010 * kMs},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HeardGrid grid;
        grid.played(990 * kMs, 480, kRate);
        grid.realign();
        for (int settle = 0; settle < 10; ++settle) {
            ASSERT_TRUE(grid.place(1'500 * kMs, kRate).silent);
            grid.waited(480);
        }
        for (const Report& r : c.reports) {
            const HeardGrid::Placement p = grid.place(r.heardNs, kRate);
            EXPECT_EQ(p.silent, r.expected.silent);
            EXPECT_EQ(p.skip, r.expected.skip);
            if (p.silent)
                grid.waited(480);
            else
                grid.played(r.heardNs, 480, kRate);
        }
        EXPECT_EQ(grid.endNs(), c.endNs);
    }
    HeardGrid first; // the first output has no grid to line up with
    first.realign();
    EXPECT_FALSE(first.place(1'000 * kMs, kRate).silent);
    first.played(1'000 * kMs, 480, kRate);
    EXPECT_FALSE(first.place(1'010 * kMs, kRate).silent);

    HeardGrid patient;
    patient.played(990 * kMs, 480, kRate);
    patient.realign();
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(patient.place(0, kRate).silent);
        patient.waited(480);
    }
    EXPECT_FALSE(patient.place(0, kRate).silent) << "a second of silence at most";
}

// Real files that are not SoundFonts: this source and its folder's CMakeLists.txt.
const fs::path kSource = __FILE__, kFolder = kSource.parent_path(),
               kOther = kFolder / "CMakeLists.txt", kMissing = kFolder / "missing.sf2";

TEST(SoundFontLocator, OptionThenEnvironmentThenFirstExistingCandidate) {
    const std::vector<std::tuple<std::string, const char*, std::vector<std::string>, std::string>>
        cases{{"opt.sf2", "env.sf2", {kSource}, "opt.sf2"},
              {"", "env.sf2", {kSource}, "env.sf2"},
              {"", "", {kMissing, kFolder, kOther, kSource}, kOther},
              {"", nullptr, {kMissing}, ""}};
    for (const auto& [option, environment, candidates, expected] : cases)
        EXPECT_EQ(findSoundFont(option, environment, candidates), expected) << expected;
}

TEST(Synth, RefusesFilesThatAreNotSoundFontsInOneLine) {
    for (const fs::path& path : {kMissing, kFolder, kSource}) {
        Synth synth;
        std::string error;
        EXPECT_FALSE(synth.loadSoundFont(path, error)) << path;
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(error.find('\n'), std::string::npos);
    }
}

// Silent without a SoundFont, but the clock runs as it does with one. A
// groove moves strokes, never how many the passes have: humanize can pull
// the stroke after the last ahead of the end, and it must not sound.
TEST(OfflineRender, WithoutASoundFontPlaysWholeBarsFromTheFirstFrame) {
    struct Case {
        bool threeFour, ternary;
        int tempo, repeats;
        uint32_t strokes;
        int swing = kStraight, humanizeMs = 0;
    };
    const std::vector<Case> cases{{false, false, 120, 2, 32},
                                  {true, false, 97, 3, 36},
                                  {false, true, 240, 110, 1320},
                                  {true, true, 10, 1, 9},
                                  {false, false, 240, 7, 112, kMaxSwing, kMaxHumanizeMs},
                                  {true, false, 97, 5, 60, 66, kMaxHumanizeMs}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.threeFour << c.ternary << " " << c.tempo << " BPM");
        Sound s;
        s.g.tempo = c.tempo;
        s.g.swing = c.swing;
        s.g.humanizeMs = c.humanizeMs;
        EXPECT_NE(s.said.find("playing silently\n"), std::string::npos);
        EXPECT_EQ(std::count(s.said.begin(), s.said.end(), '\n'), 1);
        s.g.ter_3_4 = c.threeFour;
        s.g.ter_ter = c.ternary;
        const RenderResult r = s.render(c.repeats);
        EXPECT_TRUE(r.completed);
        EXPECT_EQ(r.strokes, c.strokes);
        EXPECT_EQ(s.sound.engine().strokesPlayed(), c.strokes); // none after the stop
        // Stroke 1 is due on frame 0; a stroke sounds from the block nearest
        // its due sample, half a block either way; the render stops where the
        // next would start, at the end of the passes.
        const double nextDue = c.strokes * 44100 * 15.0 / c.tempo;
        EXPECT_LE(std::abs(static_cast<double>(r.stopFrame) - nextDue),
                  PlaybackEngine::kBlock / 2.0);
        EXPECT_EQ(passesLength(s.g, c.repeats, 44100), std::llround(nextDue));
        // Silence from the start: the tail is one quiet window, in whole buffers.
        EXPECT_TRUE(r.tailSilent);
        EXPECT_EQ(r.frames - r.stopFrame,
                  (4410 + kRenderBuffer - 1) / kRenderBuffer * kRenderBuffer);
    }
}

// A bass note on the bar's last stroke is held until playback stops: an organ
// would sound for ever if the stop did not end it. The two programs must
// sound different, or the loop's program was never applied.
TEST(OfflineRender, TheStopEndsTheHeldBassNoteOnTheLoopsProgram) {
    const std::string soundFont = findSoundFont("", std::getenv("ZUMBAL_SOUNDFONT"));
    if (soundFont.empty())
        GTEST_SKIP() << "no General MIDI SoundFont installed";
    std::vector<std::vector<float>> sounds;
    for (int program : {17, 33}) { // drawbar organ, acoustic bass
        SCOPED_TRACE(program);
        Sound s(soundFont);
        clearCells(s.g);
        s.g.edfiv[kBassTrack][0] = program;
        s.g.pp[cellIndex(kBassTrack, 16)] = 48;
        const RenderResult r = s.render(1);
        ASSERT_TRUE(r.completed);
        EXPECT_TRUE(r.tailSilent);
        EXPECT_LT(r.frames - r.stopFrame, 2 * 44100);
        EXPECT_LT(*std::max_element(s.peak.end() - 4410, s.peak.end()), kTailSilence);
        // The note sounded until the stop.
        const auto stop = s.peak.begin() + r.stopFrame;
        EXPECT_GT(*std::max_element(stop - 2000, stop), 0.01f);
        sounds.push_back(s.peak);
    }
    EXPECT_NE(sounds[0], sounds[1]);
}

// Every call of the malloc family made on the audio thread is counted, and
// none made elsewhere.
TEST(AllocationCounter, CountsTheAudioThreadsCallsOnly) {
    if (!allocationsCounted())
        GTEST_SKIP() << "this build does not count allocations";
    using Allocate = void* (*)();
    const std::vector<std::pair<const char*, Allocate>> calls{
        {"malloc", [] { return std::malloc(24); }},
        {"calloc", [] { return std::calloc(3, 8); }},
        {"realloc", [] { return std::realloc(nullptr, 24); }},
        {"memalign", [] { return memalign(64, 24); }},
        {"aligned_alloc", [] { return std::aligned_alloc(64, 128); }},
        {"posix_memalign", [] {
             void* p = nullptr;
             return posix_memalign(&p, 64, 24) == 0 ? p : nullptr;
         }}};
    for (const auto& [name, allocate] : calls) {
        for (const bool audio : {false, true}) {
            std::optional<AudioThreadScope> scope;
            if (audio)
                scope.emplace();
            const AllocationCounts before = audioThreadAllocations();
            void* volatile p = allocate();
            std::free(p);
            const AllocationCounts after = audioThreadAllocations();
            scope.reset();
            EXPECT_EQ(after.allocations - before.allocations, audio ? 1u : 0u) << name;
            EXPECT_EQ(after.frees - before.frees, audio ? 1u : 0u) << name;
        }
    }
}

// The engine renders the synth lazily, in one call a period plus one for
// each block that starts notes or the stop's note-off, and the audio is the
// same, bit for bit, as the synth rendered block by block. On the audio
// thread each render call allocates once (FluidSynth's OpenMP team), and
// nothing else allocates.
TEST(SynthRender, LazyRenderSoundsAsBlockByBlockAndAllocatesOnceACall) {
    const std::string soundFont = findSoundFont("", std::getenv("ZUMBAL_SOUNDFONT"));
    if (soundFont.empty())
        GTEST_SKIP() << "no General MIDI SoundFont installed";
    for (const int period : {512, 333}) {
        SCOPED_TRACE(period);
        const int periods = 2 * 44100 / period, stopped = 20;
        std::vector<float> sound[2];
        for (const bool byBlock : {true, false}) {
            test::SynthRig rig(soundFont);
            ASSERT_TRUE(rig.loaded);
            setStartupLoop(rig.g);
            setDefaultButtonStates(rig.g);
            for (int s = 1; s <= kStrokes; ++s) {
                for (int t = 0; t < kDrumTracks; ++t)
                    rig.g.pp[cellIndex(t, s)] = s % (t + 2) == 0 ? kRandomHit : kHit;
                rig.g.pp[cellIndex(kBassTrack, s)] = s % 3 == 0 ? kBassRest : 36 + s;
            }
            rig.g.tempo = 240;
            rig.g.swing = 66;
            rig.g.humanizeMs = 5;
            std::vector<float>& out = sound[byBlock];
            out.resize(2 * size_t(period) * (periods + stopped));
            const auto render = [&](int i) {
                float* left = out.data() + 2 * size_t(period) * i;
                rig.period(left, left + period, period, byBlock);
            };
            rig.engine.start();
            render(0); // libgomp sets up a thread at its first region
            AudioThreadScope audio;
            const AllocationCounts before = audioThreadAllocations();
            const uint64_t calls = rig.synth.renderCalls();
            for (int i = 1; i < periods + stopped; ++i) {
                if (i == periods)
                    rig.engine.stop();
                render(i);
            }
            const uint64_t made = rig.synth.renderCalls() - calls;
            const AllocationCounts after = audioThreadAllocations();
            if (!byBlock) {
                EXPECT_LE(made, periods + stopped + rig.engine.strokesPlayed() + 1);
            }
            // A call the synth serves from the rest of its last block renders nothing.
            if (allocationsCounted()) {
                const uint64_t rendering = period % PlaybackEngine::kBlock == 0 ? made : 0;
                EXPECT_LE(after.allocations - before.allocations, made);
                EXPECT_GE(after.allocations - before.allocations, rendering);
                EXPECT_EQ(after.frees - before.frees, after.allocations - before.allocations);
            }
        }
        EXPECT_GT(*std::max_element(sound[0].begin(), sound[0].end()), 0.1f);
        ASSERT_EQ(sound[0].size(), sound[1].size());
        EXPECT_EQ(std::memcmp(sound[0].data(), sound[1].data(), sound[0].size() * sizeof(float)),
                  0);
    }
}

} // namespace
} // namespace zumbal

#include "playback/AudioOutput.h"
#include "playback/SoundFontLocator.h"
#include "playback/SoundSystem.h"
#include "playback/Synth.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

namespace zumbal {
namespace {

namespace fs = std::filesystem;

struct CallbackCount {
    std::atomic<int> frames{0};
    static int call(void* data, int len, int, float*[], int, float*[]) {
        static_cast<CallbackCount*>(data)->frames += len;
        return FLUID_OK;
    }
};

TEST(AudioOutput, FallsBackToTheWallClockWhenNoDriverOpens) {
    silenceSynthLog();
    Synth synth;
    CallbackCount count;
    {
        AudioOutput output(synth.settings(), &CallbackCount::call, &count, {"no-such-driver"});
        EXPECT_EQ(output.name(), "null");
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    // Paced by the clock: about 0.3 s of frames, neither stalled nor free-running.
    EXPECT_GT(count.frames.load(), 44100 / 10);
    EXPECT_LT(count.frames.load(), 44100);
}

TEST(AudioOutput, NullAsksForNoDevice) {
    Synth synth;
    CallbackCount count;
    AudioOutput output(synth.settings(), &CallbackCount::call, &count, {"null", "alsa"});
    EXPECT_EQ(output.name(), "null");
}

struct TempDir {
    TempDir() : path(fs::temp_directory_path() / ("zumbal-test-" + std::to_string(::getpid()))) {
        fs::create_directories(path);
    }
    ~TempDir() { fs::remove_all(path); }
    std::string file(const std::string& name, const std::string& content) const {
        std::ofstream(path / name) << content;
        return (path / name).string();
    }
    fs::path path;
};

TEST(SoundFontLocator, OptionThenEnvironmentThenFirstExistingCandidate) {
    TempDir dir;
    const std::string a = dir.file("a.sf2", "x");
    const std::string b = dir.file("b.sf2", "x");
    const std::string missing = (dir.path / "missing.sf2").string();
    struct Case {
        std::string option;
        const char* environment;
        std::vector<std::string> candidates;
        std::string expected;
    };
    const std::vector<Case> cases{
        {"opt.sf2", "env.sf2", {a}, "opt.sf2"},
        {"", "env.sf2", {a}, "env.sf2"},
        {"", "", {missing, b, a}, b},
        {"", nullptr, {missing}, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(findSoundFont(c.option, c.environment, c.candidates), c.expected)
            << c.option << " " << (c.environment ? c.environment : "(unset)");
}

TEST(Synth, RefusesFilesThatAreNotSoundFonts) {
    silenceSynthLog();
    TempDir dir;
    const std::vector<std::string> bad{
        (dir.path / "missing.sf2").string(), dir.file("empty.sf2", ""),
        dir.file("text.sf2", "RIFF but not really a SoundFont"), dir.path.string()};
    for (const std::string& path : bad) {
        Synth synth;
        std::string error;
        EXPECT_FALSE(synth.loadSoundFont(path, error)) << path;
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(error.find('\n'), std::string::npos);
    }
}

TEST(SoundSystem, WithoutASoundFontTheLoopStillRunsSilently) {
    globali g;
    setStartupLoop(g);
    setDefaultButtonStates(g);
    SoundOptions options;
    options.soundFont = "/nonexistent/zumbal.sf2";
    SoundSystem sound(g, options);
    ::testing::internal::CaptureStderr();
    sound.loadSoundFont();
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("playing silently"), std::string::npos);
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1);
    sound.engine().start();
    std::vector<float> left(44100), right(44100);
    sound.render(left.data(), right.data(), 44100);
    EXPECT_EQ(sound.engine().strokesPlayed(), 8u);
    EXPECT_LT(*std::max_element(left.begin(), left.end()), 1e-6f);
}

} // namespace
} // namespace zumbal

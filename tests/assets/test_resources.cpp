#include "assets/Resources.h"

#include <QDataStream>

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

namespace zumbal {
namespace {

constexpr std::string_view kSoundNames[] = {"ambientclick", "ButtonC",  "Loaded1", "Loaded2",
                                            "openWind",     "powerdow", "PublicD"};

TEST(EventSounds, EachDecodesOnceFromTheCompiledInResource) {
    for (int number = 168; number <= 174; ++number) {
        SCOPED_TRACE(number);
        const PcmClip* clip = soundByNumber(number);
        ASSERT_TRUE(clip && clip == &sound(SoundId(number)) &&
                    clip == soundByName(kSoundNames[number - 168]));
        ASSERT_TRUE(clip->frames() > 0 && clip->frames() < 44100) << clip->frames();
        ASSERT_EQ(clip->right.size(), clip->left.size());
        float peak = 0;
        for (size_t i = 0; i < clip->frames(); ++i)
            peak = std::fmax(peak, std::fmax(std::abs(clip->left[i]), std::abs(clip->right[i])));
        EXPECT_TRUE(peak > 0.05f && peak <= 1.0f) << peak;
        for (int other = 168; other < number; ++other)
            EXPECT_NE(sound(SoundId(other)).left, clip->left) << other;
    }
    for (int number : {0, 167, 175})
        EXPECT_EQ(soundByNumber(number), nullptr) << number;
    for (std::string_view name : {"", "ambientClick", "ambientclick.wav", "icona"})
        EXPECT_EQ(soundByName(name), nullptr) << name;
}

QByteArray wav16(quint16 channels, const std::vector<qint16>& samples) {
    QByteArray out;
    QDataStream s(&out, QIODeviceBase::WriteOnly);
    s.setByteOrder(QDataStream::LittleEndian);
    s.writeRawData("RIFF", 4);
    s << quint32(36 + 2 * samples.size());
    s.writeRawData("WAVEfmt ", 8);
    s << quint32(16) << quint16(1) << channels << quint32(44100) << quint32(88200 * channels)
      << quint16(2 * channels) << quint16(16);
    s.writeRawData("data", 4);
    s << quint32(2 * samples.size());
    for (qint16 v : samples)
        s << v;
    return out;
}

TEST(DecodeSound, SplitsChannelsAndKeepsOnlyWhatDecodes) {
    const std::tuple<const char*, QByteArray, std::vector<float>, std::vector<float>> cases[] = {
        {"mono to both", wav16(1, {16384, -32768}), {0.5f, -1}, {0.5f, -1}},
        {"stereo split", wav16(2, {16384, -16384, 8192, 0}), {0.5f, 0.25f}, {-0.5f, 0}},
        {"third dropped", wav16(3, {8192, 16384, 4096}), {0.25f}, {0.5f}},
        {"truncated", wav16(1, {8192, 8192, 8192}).chopped(2), {0.25f, 0.25f}, {0.25f, 0.25f}},
        {"empty", QByteArray(), {}, {}},
        {"text", QByteArray("this is not a sound file at all, only text"), {}, {}},
        {"header only", wav16(1, {}).left(20), {}, {}},
    };
    for (const auto& [what, bytes, left, right] : cases) {
        const PcmClip clip = decodeSound(bytes);
        EXPECT_EQ(std::tie(clip.left, clip.right), std::tie(left, right)) << what;
    }
}

} // namespace
} // namespace zumbal

#include "assets/Resources.h"

#include <QGuiApplication>
#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace zumbal {
namespace {

struct SoundCase {
    int number;
    SoundId id;
    std::string_view name;
    double maxSeconds;
};

constexpr SoundCase kSounds[] = {
    {168, SoundId::ambientclick, "ambientclick", 0.05},
    {169, SoundId::ButtonC, "ButtonC", 1.0},
    {170, SoundId::Loaded1, "Loaded1", 1.0},
    {171, SoundId::Loaded2, "Loaded2", 1.0},
    {172, SoundId::openWind, "openWind", 1.0},
    {173, SoundId::powerdow, "powerdow", 1.0},
    {174, SoundId::PublicD, "PublicD", 1.0},
};

TEST(EventSounds, EachDecodesFromTheCompiledInResource) {
    for (const SoundCase& c : kSounds) {
        SCOPED_TRACE(std::string(c.name));
        const PcmClip* clip = soundByNumber(c.number);
        ASSERT_NE(clip, nullptr);
        EXPECT_EQ(clip, &sound(c.id));
        EXPECT_EQ(clip, soundByName(c.name));
        EXPECT_EQ(soundName(c.id), c.name);
        EXPECT_EQ(soundIdByName(c.name), c.id);

        ASSERT_GT(clip->frames(), 0u);
        ASSERT_EQ(clip->right.size(), clip->left.size());
        EXPECT_LT(clip->frames(), static_cast<size_t>(c.maxSeconds * 44100));

        float peak = 0;
        double energy = 0;
        for (size_t i = 0; i < clip->frames(); ++i) {
            peak = std::max({peak, std::abs(clip->left[i]), std::abs(clip->right[i])});
            energy += clip->left[i] * clip->left[i] + clip->right[i] * clip->right[i];
        }
        EXPECT_LE(peak, 1.0f);
        EXPECT_GT(std::sqrt(energy / (2.0 * clip->frames())), 0.01);
        // A sound cut off mid-wave pops when it ends.
        EXPECT_LT(std::abs(clip->left.back()), 0.02f);
    }
}

TEST(EventSounds, AreAllDifferent) {
    for (size_t i = 0; i < std::size(kSounds); ++i)
        for (size_t j = i + 1; j < std::size(kSounds); ++j)
            EXPECT_NE(sound(kSounds[i].id).left, sound(kSounds[j].id).left)
                << kSounds[i].name << " and " << kSounds[j].name;
}

TEST(EventSounds, UnknownNumbersAndNamesGiveNothing) {
    for (int number : {0, -1, 167, 175, 224})
        EXPECT_EQ(soundByNumber(number), nullptr) << number;
    for (std::string_view name : {"", "ambientClick", "ambientclick.wav", "Loaded", "icona"}) {
        EXPECT_EQ(soundByName(name), nullptr) << name;
        EXPECT_FALSE(soundIdByName(name).has_value()) << name;
    }
    EXPECT_EQ(soundName(static_cast<SoundId>(175)), "");
    EXPECT_EQ(sound(static_cast<SoundId>(175)).frames(), 0u);
}

// A canonical 16-bit PCM WAV file; dataFrames lets the header claim more
// frames than the file holds.
QByteArray wav16(int channels, const std::vector<int16_t>& samples, int dataFrames = -1) {
    auto put = [](QByteArray& out, uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out.append(static_cast<char>((value >> (8 * i)) & 0xff));
    };
    const uint32_t dataBytes =
        2 * (dataFrames < 0 ? static_cast<uint32_t>(samples.size()) : dataFrames * channels);
    QByteArray out("RIFF");
    put(out, 36 + dataBytes, 4);
    out.append("WAVEfmt ");
    put(out, 16, 4);
    put(out, 1, 2);
    put(out, channels, 2);
    put(out, 44100, 4);
    put(out, 44100 * 2 * channels, 4);
    put(out, 2 * channels, 2);
    put(out, 16, 2);
    out.append("data");
    put(out, dataBytes, 4);
    for (int16_t s : samples)
        put(out, static_cast<uint16_t>(s), 2);
    return out;
}

TEST(DecodeSound, SplitsChannelsAndRejectsWhatIsNotSound) {
    struct Case {
        const char* what;
        QByteArray bytes;
        std::vector<float> left;
        std::vector<float> right;
    };
    const Case cases[] = {
        {"mono goes to both sides",
         wav16(1, {16384, -32768, 0}),
         {0.5f, -1.0f, 0},
         {0.5f, -1.0f, 0}},
        {"stereo is split", wav16(2, {16384, -16384, 8192, 0}), {0.5f, 0.25f}, {-0.5f, 0}},
        {"third channel dropped", wav16(3, {8192, 16384, 4096}), {0.25f}, {0.5f}},
        {"truncated data keeps what is there",
         wav16(1, {8192, 8192}, 1000),
         {0.25f, 0.25f},
         {0.25f, 0.25f}},
        {"no bytes", QByteArray(), {}, {}},
        {"not a sound", QByteArray("this is not a sound file at all, only text"), {}, {}},
        {"header only", wav16(1, {}).left(20), {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const PcmClip clip = decodeSound(c.bytes);
        EXPECT_EQ(clip.left, c.left);
        EXPECT_EQ(clip.right, c.right);
    }
}

// Written as runs of consecutive numbers, not as the accessor's own table, so
// that a name slipped by one place shows up.
std::map<int, std::string> expectedPictures() {
    const std::vector<std::pair<int, std::vector<std::string>>> runs = {
        {168, {"icona"}},
        {169, {"d35e36bass",      "d37stick",       "d38e40snare",        "d39hand",
               "d41tomlow",       "d42e44e46hihat", "d43e45e47e48e50tom", "d49e52e55e57clash",
               "d51e59cymbal",    "d53e56bell",     "d54tambo",           "d58vibraslap",
               "d60e61bongo",     "d62e63e64conga", "d65e66timbale",      "d67e68agogo",
               "d69cabasa",       "d70maracas",     "d71e72whistle",      "d73e74guiro",
               "d75e76e77claves", "d78e79cuica",    "d81e80triangle"}},
        {192, {"sfondo", "maschera", "t1bdc", "t1bdl", "t1bdr", "t1bec", "t1bel", "t1ber"}},
        {203, {"t1duc", "t1dul",  "t1dur",     "t1gdc",     "t1gdl",     "t1gdr", "t1guc", "t1gul",
               "t1gur", "t1off4", "t1offdis4", "t1on4",     "t1rc",      "t1rl",  "t1rnd", "t1rr",
               "t1vc",  "t1vl",   "t1vr",      "strumenti", "selezione", "mondo"}},
    };
    std::map<int, std::string> pictures;
    for (const auto& [first, names] : runs)
        for (size_t i = 0; i < names.size(); ++i)
            pictures[first + static_cast<int>(i)] = names[i];
    return pictures;
}

TEST(PictureTable, NumbersAndNamesRoundTrip) {
    const std::map<int, std::string> expected = expectedPictures();
    ASSERT_EQ(expected.size(), 54u);
    for (int number = 160; number <= 230; ++number) {
        const auto it = expected.find(number);
        const std::string name = it == expected.end() ? "" : it->second;
        EXPECT_EQ(pictureName(number), name) << number;
        if (!name.empty()) {
            EXPECT_EQ(pictureNumber(name), number) << name;
        }
    }
    for (int unused : {200, 201, 202})
        EXPECT_EQ(pictureName(unused), "");
    for (std::string_view name : {"", "ambientclick", "t1on", "Icona", "icona.svg"})
        EXPECT_EQ(pictureNumber(name), 0) << name;
}

class Pictures : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "test_assets";
        static char* argv[] = {name, nullptr};
        // Kept to the end of the process: the picture cache outlives any test.
        static QGuiApplication app(argc, argv);
    }
};

TEST_F(Pictures, RenderAtTheirSizeTimesTheRatioAndAreShared) {
    struct Case {
        qreal ratio;
        QSize pixels;
    };
    for (const Case& c : {Case{1.0, {10, 6}}, Case{2.0, {20, 12}}, Case{1.5, {15, 9}}}) {
        SCOPED_TRACE(c.ratio);
        const QPixmap first = picture("probe", c.ratio);
        ASSERT_FALSE(first.isNull());
        EXPECT_EQ(first.size(), c.pixels);
        EXPECT_EQ(first.devicePixelRatio(), c.ratio);
        EXPECT_EQ(first.deviceIndependentSize(), QSizeF(10, 6));
        const QImage image = first.toImage();
        EXPECT_EQ(image.pixelColor(c.pixels.width() / 2, c.pixels.height() / 2), QColor(Qt::red));
        EXPECT_EQ(picture("probe", c.ratio).cacheKey(), first.cacheKey());
    }
    EXPECT_NE(picture("probe", 1.0).cacheKey(), picture("probe", 2.0).cacheKey());
}

TEST_F(Pictures, MissingOnesAreNull) {
    EXPECT_TRUE(picture("no-such-picture").isNull());
    EXPECT_TRUE(picture("").isNull());
    for (int number : {0, 167, 200, 225})
        EXPECT_TRUE(pictureByNumber(number, 2.0).isNull()) << number;
}

} // namespace
} // namespace zumbal

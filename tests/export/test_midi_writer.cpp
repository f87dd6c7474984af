#include "export/MidiWriter.h"

#include <gtest/gtest.h>

#include <map>

namespace zumbal {
namespace {

using Bytes = std::vector<uint8_t>;

// A strict reader of what the writer makes: every chunk's declared length,
// every event's status byte (no running status), data bytes below 0x80.
struct Track {
    Bytes bytes;
    int events = 0;
    std::map<int, int> channelEvents; // zero-based channel -> note and program events
};

std::vector<Track> readSmf(const Bytes& file) {
    EXPECT_GE(file.size(), 14u);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 14),
              (Bytes{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 3, 0, 192}));
    std::vector<Track> tracks;
    size_t pos = 14;
    while (pos + 8 <= file.size()) {
        EXPECT_EQ(std::string(file.begin() + pos, file.begin() + pos + 4), "MTrk");
        const size_t length = (size_t(file[pos + 4]) << 24) | (size_t(file[pos + 5]) << 16) |
                              (size_t(file[pos + 6]) << 8) | file[pos + 7];
        pos += 8;
        EXPECT_LE(pos + length, file.size());
        Track track;
        track.bytes = Bytes(file.begin() + pos, file.begin() + pos + length);
        size_t i = 0;
        bool ended = false;
        const Bytes& b = track.bytes;
        while (i < b.size() && !ended) {
            while (b[i] & 0x80) // delta time
                ++i;
            ++i;
            const uint8_t status = b[i++];
            EXPECT_TRUE(status & 0x80) << "running status at " << i;
            ++track.events;
            if (status == 0xFF) {
                const uint8_t type = b[i++];
                const uint8_t len = b[i++];
                ended = type == 0x2F;
                i += len;
                continue;
            }
            const int data = (status & 0xF0) == 0xC0 ? 1 : 2;
            for (int d = 0; d < data; ++d)
                EXPECT_LT(b[i + d], 0x80);
            i += data;
            ++track.channelEvents[status & 0x0F];
        }
        EXPECT_TRUE(ended);
        EXPECT_EQ(i, b.size()) << "declared length differs from the events";
        tracks.push_back(track);
        pos += length;
    }
    EXPECT_EQ(pos, file.size());
    EXPECT_EQ(tracks.size(), 3u);
    return tracks;
}

// Every track off, every cell a rest, 4/4 at 120 BPM.
LoopRecord silentLoop() {
    LoopRecord loop;
    loop.layout = LoopLayout::Current;
    loop.pb.fill(kSwitchOff);
    for (int c = 0; c < kCells; ++c) {
        loop.pp[c] = c < kFirstBassCell ? kRest : kBassRest;
        loop.volum[c] = 99;
    }
    for (int t = 0; t < kTracks; ++t)
        loop.edfiv[t] = {kDefaultSounds[t], 99};
    loop.tempo = 120;
    return loop;
}

Bytes repeated(const Bytes& unit, int times) {
    Bytes out;
    for (int i = 0; i < times; ++i)
        out.insert(out.end(), unit.begin(), unit.end());
    return out;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

TEST(MidiWriter, DefaultLoopTempoTrackAndDrumLength) {
    LoopRecord loop = silentLoop();
    for (int t = 0; t < kDrumTracks; ++t)
        loop.pb[t] = kSwitchOn;
    loop.pb[kBassButton] = kSwitchOn;
    const auto tracks = readSmf(writeMidiFile(loop, 4));
    EXPECT_EQ(tracks[0].bytes, (Bytes{0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x20, 0x08, 0x00, 0xFF,
                                      0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xFF, 0x2F, 0x00}));
    EXPECT_EQ(tracks[1].bytes.size(), 1544u);
    EXPECT_EQ(tracks[1].channelEvents.at(9), 6 * 16 * 4 + 1);
    EXPECT_EQ(tracks[2].channelEvents.at(8), 1 + 16 * 4 + 1);
}

TEST(MidiWriter, MeterAndTempoForEachFlagCombination) {
    struct Case {
        bool threeFour, ternary;
        int tempo;
        Bytes signature; // nn dd cc 08
        Bytes micros;
        int strokes;
    };
    const std::vector<Case> cases{
        {false, false, 120, {4, 2, 0x20, 8}, {0x07, 0xA1, 0x20}, 16},
        {false, true, 120, {6, 3, 0x18, 8}, {0x05, 0xB8, 0xD8}, 12},
        {true, false, 120, {3, 2, 0x20, 8}, {0x07, 0xA1, 0x20}, 12},
        {true, true, 120, {3, 2, 0x18, 8}, {0x05, 0xB8, 0xD8}, 9},
        {false, true, 100, {6, 3, 0x18, 8}, {0x06, 0xE2, 0x37}, 12},   // 133 BPM: 451127 us
        {false, false, 0, {4, 2, 0x20, 8}, {0x5B, 0x8D, 0x80}, 16},    // clamped to 10
        {false, false, 1000, {4, 2, 0x20, 8}, {0x03, 0xD0, 0x90}, 16}, // clamped to 240
    };
    for (const Case& c : cases) {
        LoopRecord loop = silentLoop();
        loop.pb[0] = kSwitchOn;
        loop.pb[kThreeFourButton] = c.threeFour ? kSwitchOn : kSwitchOff;
        loop.pb[kTernaryButton] = c.ternary ? kSwitchOn : kSwitchOff;
        loop.tempo = c.tempo;
        const auto tracks = readSmf(writeMidiFile(loop, 1));
        const Bytes& t1 = tracks[0].bytes;
        EXPECT_EQ(Bytes(t1.begin() + 4, t1.begin() + 8), c.signature) << c.tempo;
        EXPECT_EQ(Bytes(t1.begin() + 12, t1.begin() + 15), c.micros) << c.tempo;
        EXPECT_EQ(tracks[1].bytes.size(), 8u + 4u * c.strokes) << c.threeFour << c.ternary;
        EXPECT_EQ(tracks[1].bytes[0], c.ternary ? 64 : 48);
    }
}

TEST(MidiWriter, DrumTrackEvents) {
    LoopRecord loop = silentLoop();
    EXPECT_EQ(readSmf(writeMidiFile(loop, 3))[1].bytes,
              (Bytes{0x30, 0x89, 0x00, 0x40, 0x00, 0xFF, 0x2F, 0x00}));

    loop.pb[0] = kSwitchOn;
    loop.edfiv[0][0] = 38;
    loop.pp[0] = kHit;
    loop.volum[0] = 77;
    loop.pp[5] = kRandomHit; // random hits are written as rests
    const Bytes expected = concat({{0x30, 0x99, 38, 77},
                                   repeated({0x30, 0x89, 38, 0x40}, 15),
                                   {0x30, 0x89, 38, 0x40, 0x00, 0xFF, 0x2F, 0x00}});
    const auto tracks = readSmf(writeMidiFile(loop, 1));
    EXPECT_EQ(tracks[1].bytes.size(), 72u);
    EXPECT_EQ(tracks[1].bytes, expected);

    // Two tracks at one stroke: only the first event waits a stroke.
    loop.pb[2] = kSwitchOn;
    loop.pp[32] = kHit;
    const Bytes two = readSmf(writeMidiFile(loop, 1))[1].bytes;
    EXPECT_EQ(Bytes(two.begin(), two.begin() + 12),
              (Bytes{0x30, 0x99, 38, 77, 0x00, 0x99, 42, 99, 0x30, 0x89, 38, 0x40}));
}

TEST(MidiWriter, BassTrackEvents) {
    LoopRecord loop = silentLoop();
    loop.pb[kBassButton] = kSwitchOn;
    loop.pp[kFirstBassCell] = 36;
    const Bytes expected =
        concat({{0x00, 0xC8, 0x20, 0x30, 0x88, 0x00, 0x40, 0x00, 0x98, 0x24, 0x63},
                repeated({0x30, 0x88, 0x00, 0x40}, 15),
                {0x30, 0x88, 0x24, 0x40, 0x00, 0xFF, 0x2F, 0x00}});
    const auto tracks = readSmf(writeMidiFile(loop, 1));
    EXPECT_EQ(tracks[2].bytes.size(), 79u);
    EXPECT_EQ(tracks[2].bytes, expected);

    loop.pb[kBassButton] = kSwitchOff;
    loop.edfiv[kBassTrack][0] = 36;
    EXPECT_EQ(readSmf(writeMidiFile(loop, 5))[2].bytes,
              (Bytes{0x00, 0xC8, 35, 0x30, 0x88, 0x00, 0x40, 0x00, 0xFF, 0x2F, 0x00}));
    loop.pb[kTernaryButton] = kSwitchOn;
    EXPECT_EQ(readSmf(writeMidiFile(loop, 5))[2].bytes[3], 0x40);
}

TEST(MidiWriter, DeclaredLengthsFollowTheFormulaAtEveryRepeatCount) {
    LoopRecord loop = silentLoop();
    for (int t : {0, 2, 5})
        loop.pb[t] = kSwitchOn;
    loop.pb[kBassButton] = kSwitchOn;
    loop.pp[kFirstBassCell + 2] = 40;
    loop.pp[kFirstBassCell + 9] = 45;
    for (int repeats : {1, 2, 110}) {
        const auto tracks = readSmf(writeMidiFile(loop, repeats));
        EXPECT_EQ(tracks[0].bytes.size(), 19u);
        EXPECT_EQ(tracks[1].bytes.size(), 8u + 4u * 3 * 16 * repeats);
        EXPECT_EQ(tracks[2].bytes.size(), 11u + repeats * (4u * 16 + 4u * 2));
    }
    EXPECT_EQ(writeMidiFile(loop, 500), writeMidiFile(loop, 110));
    EXPECT_EQ(writeMidiFile(loop, -3), writeMidiFile(loop, 1));
}

TEST(MidiWriter, DataBytesStayWithinMidi) {
    LoopRecord loop = silentLoop();
    loop.pb[0] = kSwitchOn;
    loop.pb[kBassButton] = kSwitchOn;
    loop.pp[0] = kHit;
    loop.edfiv[0][0] = 300;
    loop.volum[0] = -20;
    loop.pp[kFirstBassCell] = 140; // transposed above 127
    loop.volum[kFirstBassCell] = 1000;
    loop.edfiv[kBassTrack][0] = 0;                       // a cleared bass field
    const auto tracks = readSmf(writeMidiFile(loop, 1)); // the reader checks every data byte
    EXPECT_EQ(Bytes(tracks[1].bytes.begin(), tracks[1].bytes.begin() + 4),
              (Bytes{0x30, 0x99, 127, 0}));
    EXPECT_EQ(Bytes(tracks[2].bytes.begin(), tracks[2].bytes.begin() + 11),
              (Bytes{0x00, 0xC8, 0, 0x30, 0x88, 0, 0x40, 0x00, 0x98, 127, 127}));
}

TEST(ExportReader, OldFilesHaveNoBassAndTakeTheirTrackVolumes) {
    std::string old = "x drum loop created by Zumbal (Zumbal loop text file format)\n119\n";
    for (int i = 0; i < 16; ++i)
        old += "101\n";
    for (int i = 0; i < 96; ++i)
        old += i == 0 ? "0\n" : "7\n";
    for (int t = 0; t < 6; ++t)
        old += "36\n" + std::to_string(50 + t) + "\n";
    old += "100\n";
    const LoopRecord loop = readLoopForExport(old);
    EXPECT_EQ(loop.pb[kBassButton], kSwitchOff);
    EXPECT_EQ(loop.pp[kFirstBassCell], 0);
    EXPECT_EQ(loop.pp[1], 7); // not normalised
    EXPECT_EQ(loop.volum[16], 51);
    const auto tracks = readSmf(writeMidiFile(loop, 1));
    EXPECT_EQ(tracks[2].bytes[2], 32); // program 33
}

TEST(ExportFileName, TypedNameFilteredElseTheLoopsName) {
    const std::vector<std::tuple<std::string, std::string, std::string>> cases{
        {"My Song", "loop", "My Song.mid"},
        {"../etc/passwd", "loop", "etcpasswd.mid"},
        {"", "Funk Ghosts", "Funk Ghosts.mid"},
        {"   ", "Waltz", "Waltz.mid"},
        {"", "a/b", "ab.mid"},
        {"", "", "loop.mid"},
    };
    for (const auto& [typed, loop, file] : cases)
        EXPECT_EQ(exportFileName(typed, loop), file) << typed << "|" << loop;
}

} // namespace
} // namespace zumbal

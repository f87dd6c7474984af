// The subcommands end to end: the built program runs as a child process with
// no display, on loop files written here.

#include "../support/TestFiles.h"
#include "export/MidiWriter.h"
#include "loops/LoopFile.h"
#include "playback/PlaybackEngine.h"
#include "playback/SoundFontLocator.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sndfile.h>

#include <signal.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdlib>

namespace zumbal {
namespace {

// The exit code (-1: crashed or hung) and stderr; stdout must stay empty.
std::pair<int, std::string> run(const QStringList& args, const QString& workDir) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* display : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(display);
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(workDir);
    process.start(QStringLiteral(ZUMBAL_BINARY), args);
    if (!process.waitForFinished(120000))
        return {-1, "hung"}; // killed as `process` goes
    EXPECT_EQ(process.readAllStandardOutput(), "");
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardError().toStdString()};
}

using test::readFile;
using test::writeFile;

QStringList entries(const QString& dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// Track 0 alone strikes `note` with `code` every `step` strokes from stroke 1;
// all else rests. 120 BPM, 4/4, unless told.
QByteArray loopText(int note, int code, int step = 4, int tempo = 120, bool threeFour = false,
                    bool ternary = false) {
    LoopRecord loop;
    loop.layout = LoopLayout::Current;
    loop.pb.fill(kSwitchOff);
    loop.pb[0] = kSwitchOn;
    loop.pb[kThreeFourButton] = threeFour ? kSwitchOn : kSwitchOff;
    loop.pb[kTernaryButton] = ternary ? kSwitchOn : kSwitchOff;
    for (int c = 0; c < kCells; ++c) {
        loop.pp[c] = c >= kFirstBassCell ? kBassRest : c < kStrokes && c % step == 0 ? code : kRest;
        loop.volum[c] = kDefaultVolume;
    }
    for (int t = 0; t < kTracks; ++t)
        loop.edfiv[t] = {t == 0 ? note : kDefaultSounds[t], kDefaultVolume};
    loop.tempo = tempo;
    return QByteArray::fromStdString(writeLoop("Beat", loop));
}

// Track 0 strikes every stroke, each at a chance of 50.
QByteArray varyingText() {
    LoopRecord loop = parseLoop(loopText(38, kHit, 1).toStdString());
    for (int c = 0; c < kStrokes; ++c)
        loop.steps[c].chance = 50;
    return QByteArray::fromStdString(writeLoop("Vary", loop));
}

// A song file of `entries`, one "passes<TAB>key<TAB>preset" each.
QByteArray songText(const QString& name, const QStringList& entries) {
    return (name + " song created by Zumbal (Zumbal song file format)\n100\n" + entries.join('\n') +
            '\n')
        .toUtf8();
}

// The song "Set" in "in/loops/songs/set": a 4/4 loop, a missing preset, a
// 3/4 loop in E and a ternary one; its presets beside "songs".
const QStringList kSetEntries{"2\t-\tBeat", "1\tC\tGone", "1\tE\tWaltz", "3\t-\tJig"};
const char* const kSetSkipped =
    "zumbal: SONG: skipped DIR/in/loops/Gone: No such file or directory\n";

// `line` with its LOOP, VARY, NOTES, PIPE, the songs (SONG, OUTSONG, NOSONG,
// LONGSONG, BIGSONG), DIR and FIX (the fixtures folder) replaced.
QString placed(const QTemporaryDir& dir, QString line) {
    for (const auto& [name, file] :
         {std::pair("OUTSONG", "in/set"), std::pair("NOSONG", "in/loops/songs/none"),
          std::pair("LONGSONG", "in/loops/songs/long"), std::pair("BIGSONG", "in/loops/songs/big"),
          std::pair("SONG", "in/loops/songs/set")})
        line.replace(name, dir.filePath(file));
    return line.replace("LOOP", dir.filePath("in/My-Loop!"))
        .replace("VARY", dir.filePath("in/Vary"))
        .replace("NOTES", dir.filePath("in/notes"))
        .replace("PIPE", dir.filePath("in/pipe"))
        .replace("FIX", ZUMBAL_LOOP_FIXTURES)
        .replace("DIR", dir.path());
}

// Writes the loop file "in/My-Loop!" in `dir`, the working folder, beside
// one whose steps vary ("in/Vary"), a text that is no loop and a named pipe, and the loops folder
// "in/loops" with its songs: "set", and a copy of it outside the folder ("in/set"); a song whose
// every preset is missing; one too long for any file; one over the size of a song file. Returns
// `line` placed and split.
QStringList prepare(const QTemporaryDir& dir, const QString& line) {
    writeFile(dir.filePath("in/My-Loop!"), loopText(38, kHit));
    writeFile(dir.filePath("in/Vary"), varyingText());
    writeFile(dir.filePath("in/notes"), "a shopping list\n");
    EXPECT_EQ(mkfifo(QFile::encodeName(dir.filePath("in/pipe")).constData(), 0600), 0);
    writeFile(dir.filePath("in/loops/Beat"), loopText(38, kHit));
    writeFile(dir.filePath("in/loops/Waltz"), loopText(42, kHit, 2, 100, true));
    writeFile(dir.filePath("in/loops/Jig"), loopText(46, kHit, 4, 112, true, true));
    writeFile(dir.filePath("in/loops/songs/set"), songText("Set", kSetEntries));
    writeFile(dir.filePath("in/set"), songText("Set", kSetEntries));
    writeFile(dir.filePath("in/loops/songs/none"), songText("None", {"1\t-\tGone", "2\tC\tAway"}));
    writeFile(dir.filePath("in/loops/songs/long"),
              songText("Long", QStringList(4000, "99\t-\tBeat")));
    writeFile(dir.filePath("in/loops/songs/big"),
              songText("Big", {"1\t-\tBeat"}) + QByteArray(1 << 20, '\n'));
    return placed(dir, line).split(' ');
}

TEST(Subcommands, UsageAndFileErrorsSayOneLineAndWriteNothing) {
    const std::vector<std::pair<int, std::vector<const char*>>> cases{
        {2,
         {"export-midi", "render LOOP --seed -3", "export-midi LOOP --bogus",
          "export-midi VARY --seed 1.5"}},
        {1,
         {"export-midi DIR/missing",
          "render DIR/missing",
          "export-midi DIR",
          "export-midi LOOP -o DIR/no/such/folder/x.mid",
          "export-midi LOOP -o DIR",
          "render LOOP -o DIR/no/such/folder/x.wav",
          "render LOOP --soundfont DIR/missing.sf2",
          "render LOOP --soundfont LOOP",
          "export-midi NOTES",
          "render NOTES",
          "export-midi PIPE",
          "render PIPE",
          "export-midi /bin/ls",
          "export-midi NOSONG",
          "render NOSONG",
          "export-midi OUTSONG",
          "render SONG -r 2",
          "export-midi LONGSONG",
          "render LONGSONG",
          "export-midi BIGSONG",
          "render SONG --loops DIR/missing"}}};
    for (const auto& [exitCode, lines] : cases)
        for (const char* line : lines) {
            SCOPED_TRACE(line);
            QTemporaryDir dir;
            const auto [code, err] = run(prepare(dir, line), dir.path());
            EXPECT_EQ(code, exitCode);
            EXPECT_TRUE(err.starts_with("zumbal: ") && err.find('\n') == err.size() - 1) << err;
            if (QString(line).contains("NOSONG")) {
                EXPECT_EQ(err, placed(dir, "zumbal: NOSONG: nothing to play\n").toStdString());
            }
            EXPECT_EQ(entries(dir.path()), QStringList{"in"});
        }
}

// The output, named by -o or after the loop file or the song, is replaced by
// the writer's bytes for the loop as the export reads it, or for the song's
// entries whose presets are there, each for its passes and in its key, with
// the seed given or 1.
TEST(Subcommands, ExportMidiWritesTheWritersBytesUnderTheRightName) {
    using Parts = std::vector<std::tuple<QString, int, int>>; // file, passes, semitones
    const Parts set{
        {"DIR/in/loops/Beat", 2, 0}, {"DIR/in/loops/Waltz", 1, 4}, {"DIR/in/loops/Jig", 3, 0}};
    const std::vector<std::tuple<const char*, QString, Parts, const char*, uint64_t>> cases{
        {"export-midi FIX/old-119", "old119.mid", {{"FIX/old-119", 4, 0}}, "", 1},
        {"export-midi FIX/mid-120 -r 1", "mid120.mid", {{"FIX/mid-120", 1, 0}}, "", 1},
        {"export-midi FIX/new-130 -r 110 -o exact.bin",
         "exact.bin",
         {{"FIX/new-130", 110, 0}},
         "",
         1},
        {"export-midi LOOP --repeats 7", "MyLoop.mid", {{"LOOP", 7, 0}}, "", 1},
        {"export-midi VARY", "Vary.mid", {{"VARY", 4, 0}}, "", 1},
        {"export-midi VARY --seed 9", "Vary.mid", {{"VARY", 4, 0}}, "", 9},
        {"export-midi SONG", "Set.mid", set, kSetSkipped, 1},
        {"export-midi OUTSONG --loops DIR/in/loops -o exact.mid", "exact.mid", set,
         "zumbal: OUTSONG: skipped DIR/in/loops/Gone: No such file or directory\n", 1}};
    for (const auto& [line, output, parts, said, seed] : cases) {
        SCOPED_TRACE(line);
        QTemporaryDir dir;
        writeFile(dir.filePath(output), "an older file, to be replaced");
        const QStringList args = prepare(dir, line);
        EXPECT_EQ(run(args, dir.path()), std::pair(0, placed(dir, said).toStdString()));
        std::vector<ExportPart> expected;
        for (const auto& [file, passes, semitones] : parts)
            expected.push_back(
                {readLoopForExport(readFile(placed(dir, file)).toStdString()), passes, semitones});
        const auto bytes = writeMidiFile(expected, seed);
        EXPECT_EQ(readFile(dir.filePath(output)),
                  QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
        EXPECT_EQ(entries(dir.path()).size(), 2); // and "in"
    }
}

// The interleaved frames of a 44.1 kHz 16-bit stereo WAV file.
std::vector<float> readFrames(const QString& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!file)
        return {};
    EXPECT_TRUE(info.format == (SF_FORMAT_WAV | SF_FORMAT_PCM_16) && info.samplerate == 44100 &&
                info.channels == 2);
    std::vector<float> frames(size_t(info.frames * info.channels));
    sf_readf_float(file, frames.data(), info.frames);
    sf_close(file);
    return frames;
}

// max(|left|, |right|) of each frame of a 44.1 kHz 16-bit stereo WAV file.
std::vector<float> readPeaks(const QString& path) {
    const std::vector<float> frames = readFrames(path);
    std::vector<float> peak;
    for (size_t i = 0; i + 1 < frames.size(); i += 2)
        peak.push_back(std::max(std::abs(frames[i]), std::abs(frames[i + 1])));
    return peak;
}

TEST(Render, BeatsLandOnTheirSamplesAndTheSeedDecidesTheRandomHits) {
    if (findSoundFont("", std::getenv("ZUMBAL_SOUNDFONT")).empty())
        GTEST_SKIP() << "no General MIDI SoundFont installed";
    QTemporaryDir dir;
    writeFile(dir.filePath("in/Beat Loop"), loopText(75, kHit)); // claves: sharp and short
    EXPECT_EQ(run({"render", dir.filePath("in/Beat Loop"), "-r", "2"}, dir.path()),
              std::pair(0, std::string()));
    EXPECT_EQ(entries(dir.path()), (QStringList{"Beat Loop.wav", "in"}));
    const std::vector<float> peak = readPeaks(dir.filePath("Beat Loop.wav"));

    // Sounds start where a frame reaches -60 dBFS after at least 50 ms below.
    std::vector<int64_t> heard;
    for (int64_t i = 0, below = 2205; i < int64_t(peak.size()); ++i) {
        if (peak[i] >= 1e-3f && below >= 2205)
            heard.push_back(i);
        below = peak[i] < 1e-3f ? below + 1 : 0;
    }
    // 2 bars of 4 beats; beat k is due at 4k x 5512.5 samples, so the file
    // lines up with a DAW's grid. Each note starts on a 64-frame block, then
    // sounds after the SoundFont's own constant attack delay, which the first
    // onset gives.
    ASSERT_EQ(heard.size(), 8u);
    EXPECT_LT(heard[0], 2205);
    for (size_t k = 1; k < heard.size(); ++k)
        EXPECT_LE(std::abs(double(heard[k] - heard[0]) - k * 22050.0), 64) << "beat " << k;
    // The last stroke (32) sounds up to where stroke 33 would start; the tail
    // then ends once it has been silent for 100 ms, within 5 s.
    constexpr size_t passes = 32 * 5512.5;
    EXPECT_GE(peak.size(), passes - 32 + 4410);
    EXPECT_LE(peak.size(), passes + 32 + 5 * 44100 + 512);
    EXPECT_LT(*std::max_element(peak.end() - 4410, peak.end()), 1e-4f + 1.0f / 32768);

    // --no-tail: exactly the passes, with what rang past their end added onto
    // the start (to 16-bit rounding), so that the file loops seamlessly.
    writeFile(dir.filePath("in/Long Ring"), loopText(49, kHit)); // a crash cymbal rings on
    for (const QStringList& extra : {QStringList{}, QStringList{"--no-tail", "-o", "folded.wav"}})
        ASSERT_EQ(
            run(QStringList{"render", dir.filePath("in/Long Ring"), "-r", "2"} + extra, dir.path())
                .first,
            0);
    const std::vector<float> rung = readFrames(dir.filePath("Long Ring.wav"));
    const std::vector<float> folded = readFrames(dir.filePath("folded.wav"));
    ASSERT_EQ(folded.size(), 2 * passes);
    ASSERT_GT(rung.size(), 2 * folded.size());
    // It rings on past the loop's own length, so the ring-out wraps more than once.
    double worst = 0;
    for (size_t i = 0; i < folded.size(); ++i) {
        float sum = 0;
        for (size_t at = i; at < rung.size(); at += folded.size())
            sum += rung[at];
        worst = std::max(worst, double(std::abs(folded[i] - std::clamp(sum, -1.f, 1.f))));
    }
    EXPECT_LE(worst, 2.0 / 32768);

    // Renders with one seed are the same, with different seeds not.
    writeFile(dir.filePath("random"), loopText(76, kRandomHit, 1));
    std::vector<QByteArray> wavs;
    for (const QString seed : {"", "", "99"}) {
        const QString out = dir.filePath(QString("%1.wav").arg(wavs.size()));
        QStringList args{"render", dir.filePath("random"), "-r", "2", "-o", out};
        EXPECT_EQ(run(seed.isEmpty() ? args : args << "--seed" << seed, dir.path()).first, 0);
        wavs.push_back(readFile(out));
    }
    EXPECT_TRUE(wavs[0] == wavs[1] && wavs[0] != wavs[2]);
}

// A song's entries follow each other on their bar lines, each bar at its
// own tempo's length: with --no-tail the file lasts the sum of the bars to
// the frame, and every hit, each entry's stroke 1 among them, sounds within
// half a 64-frame block of its ideal sample. A missing preset is skipped.
TEST(Render, SongEntriesStartOnTheirBarsSample) {
    if (findSoundFont("", std::getenv("ZUMBAL_SOUNDFONT")).empty())
        GTEST_SKIP() << "no General MIDI SoundFont installed";
    struct Entry {
        const char* line;
        int tempo, passes;
        bool threeFour, ternary;
    };
    // Claves on every beat (four strokes, or three under the ternary feel),
    // at least 500 ms apart, so that each is heard on its own; a 3/4 bar of
    // 82,687.5 frames.
    const Entry song[] = {{"1\t-\t4-4", 120, 1, false, false},
                          {"1\t-\tmissing", 120, 1, false, false},
                          {"1\tE\t3-4", 96, 1, true, false},
                          {"2\t-\tternary", 90, 2, false, true},
                          {"1\tC\tboth", 70, 1, true, true}};
    QTemporaryDir dir;
    QStringList lines;
    std::vector<double> ideal; // every hit's sample
    double at = 0;
    for (const Entry& e : song) {
        lines << e.line;
        const QString preset = QString(e.line).section('\t', 2);
        if (preset == "missing")
            continue;
        writeFile(dir.filePath("loops/" + preset),
                  loopText(75, kHit, 4, e.tempo, e.threeFour, e.ternary));
        const double stroke = 44100 * 15.0 / e.tempo;
        const int strokes = e.passes * strokesInBar(e.threeFour, e.ternary);
        for (int s = 0; s < strokes; s += e.ternary ? 3 : 4)
            ideal.push_back(at + s * stroke);
        at += strokes * stroke;
    }
    writeFile(dir.filePath("loops/songs/gig"), songText("Gig", lines));
    for (const QStringList& extra : {QStringList{}, QStringList{"--no-tail", "-o", "folded.wav"}})
        ASSERT_EQ(
            run(QStringList{"render", dir.filePath("loops/songs/gig")} + extra, dir.path()).first,
            0);
    EXPECT_EQ(readFrames(dir.filePath("folded.wav")).size(), 2 * size_t(std::llround(at)));

    const std::vector<float> peak = readPeaks(dir.filePath("Gig.wav"));
    std::vector<int64_t> heard;
    for (int64_t i = 0, below = 2205; i < int64_t(peak.size()); ++i) {
        if (peak[i] >= 1e-3f && below >= 2205)
            heard.push_back(i);
        below = peak[i] < 1e-3f ? below + 1 : 0;
    }
    // The first hit, due on frame 0, gives the SoundFont's attack delay.
    ASSERT_EQ(heard.size(), ideal.size());
    double worst = 0;
    for (size_t k = 0; k < heard.size(); ++k)
        worst = std::max(worst, std::abs(double(heard[k] - heard[0]) - ideal[k]));
    EXPECT_LE(worst, PlaybackEngine::kBlock / 2.0);
    RecordProperty("worst_onset_frames", std::to_string(worst));
}

// The end of a session (logout, a closed terminal, Ctrl+C) quits the
// program as File > Quit does: the preferences are written, the exit is 0.
TEST(Program, SessionEndSignalsQuitAsFileQuitDoes) {
    for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(signal);
        QTemporaryDir dir;
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("HOME", dir.path());
        env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
        env.insert("XDG_DATA_HOME", dir.filePath("data"));
        QDir().mkpath(dir.filePath("runtime"));
        QFile::setPermissions(dir.filePath("runtime"), QFileDevice::ReadOwner |
                                                           QFileDevice::WriteOwner |
                                                           QFileDevice::ExeOwner);
        env.insert("XDG_RUNTIME_DIR", dir.filePath("runtime"));
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(ZUMBAL_BINARY),
                      {"--audio", "null", "--soundfont", "/nonexistent.sf2", "--loops",
                       dir.filePath("loops")});
        // Up and playing once it has named its audio output.
        process.setReadChannel(QProcess::StandardError);
        QByteArray said;
        while (!said.contains("audio output") && process.waitForReadyRead(10000))
            said += process.readAllStandardError();
        ASSERT_TRUE(said.contains("audio output")) << said.toStdString();
        kill(static_cast<pid_t>(process.processId()), signal);
        ASSERT_TRUE(process.waitForFinished(10000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0);
        EXPECT_EQ(readFile(dir.filePath("config/Zumbal/zumbal preferences")), "1\n");
    }
}

} // namespace
} // namespace zumbal

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// The subcommands end to end: the built program runs as a child process with
// no display, on loop files written here.

#include "export/MidiWriter.h"
#include "loops/LoopFile.h"
#include "playback/SoundFontLocator.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <vector>

namespace zumbal {
namespace {

struct Exit {
    int code = -1; // -1: crashed or hung
    QString out, err;
};

Exit runZumbal(const QStringList& args, const QString& workDir) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* display : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(display);
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(workDir);
    process.start(QStringLiteral(ZUMBAL_BINARY), args);
    Exit e;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        return e;
    }
    if (process.exitStatus() == QProcess::NormalExit)
        e.code = process.exitCode();
    e.out = QString::fromUtf8(process.readAllStandardOutput());
    e.err = QString::fromUtf8(process.readAllStandardError());
    return e;
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QStringList entries(const QString& dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// Track 0 strikes `note` with `code` on every beat (strokes 1, 5, 9, 13), or
// on every stroke; all else rests. 120 BPM, 4/4.
QByteArray loopText(int note, int code, bool everyStroke = false) {
    LoopRecord loop;
    loop.version = kLoopFileVersion;
    loop.layout = LoopLayout::Current;
    loop.pb.fill(kSwitchOff);
    loop.pb[0] = kSwitchOn;
    for (int c = 0; c < kCells; ++c) {
        loop.pp[c] = c < kFirstBassCell ? kRest : kBassRest;
        loop.volum[c] = kDefaultVolume;
    }
    for (int s = 1; s <= kStrokes; ++s)
        if (everyStroke || s % 4 == 1)
            loop.pp[cellIndex(0, s)] = code;
    for (int t = 0; t < kTracks; ++t)
        loop.edfiv[t] = {t == 0 ? note : kDefaultSounds[t], kDefaultVolume};
    loop.tempo = 120;
    return QByteArray::fromStdString(writeLoop("Beat", loop));
}

TEST(Subcommands, UsageAndFileErrorsSayOneLineAndWriteNothing) {
    struct Case {
        QStringList args; // LOOP: a loop file in DIR, DIR: the working folder
        int exitCode;
    };
    const std::vector<Case> cases{
        {{"export-midi"}, 2},
        {{"render", "LOOP", "--seed", "-3"}, 2},
        {{"export-midi", "LOOP", "--bogus"}, 2},
        {{"export-midi", "DIR/missing"}, 1},
        {{"render", "DIR/missing"}, 1},
        {{"export-midi", "DIR"}, 1},
        {{"export-midi", "LOOP", "-o", "DIR/no/such/folder/x.mid"}, 1},
        {{"export-midi", "LOOP", "-o", "DIR"}, 1},
        {{"render", "LOOP", "-o", "DIR/no/such/folder/x.wav"}, 1},
        {{"render", "LOOP", "--soundfont", "DIR/missing.sf2"}, 1},
        {{"render", "LOOP", "--soundfont", "LOOP"}, 1}, // not a SoundFont
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        writeFile(dir.filePath("loop"), loopText(36, kHit));
        QStringList args;
        for (QString a : c.args)
            args << a.replace("LOOP", dir.filePath("loop")).replace("DIR", dir.path());
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const Exit e = runZumbal(args, dir.path());
        EXPECT_EQ(e.code, c.exitCode);
        EXPECT_TRUE(e.err.startsWith("zumbal: ")) << e.err.toStdString();
        EXPECT_EQ(e.err.count('\n'), 1) << e.err.toStdString();
        EXPECT_EQ(e.out, "");
        EXPECT_EQ(entries(dir.path()), QStringList{"loop"});
    }
}

// The file holds exactly the writer's bytes for the loop as the export reads
// it (older layouts take their velocities from the track volumes), and lands
// where -o says or as "<loop name>.mid" in the working folder.
TEST(Subcommands, ExportMidiWritesTheWritersBytesUnderTheRightName) {
    struct Case {
        QString loop; // a fixture, or "in/My Loop!" written here
        QStringList options;
        QString output;
        int repeats;
    };
    const QString fixtures = QStringLiteral(ZUMBAL_LOOP_FIXTURES);
    const std::vector<Case> cases{
        {fixtures + "/old-119", {}, "old119.mid", 4},
        {fixtures + "/mid-120", {"-r", "1"}, "mid120.mid", 1},
        {fixtures + "/new-130", {"-r", "110", "-o", "exact name.bin"}, "exact name.bin", 110},
        {"in/My Loop!", {"--repeats", "7"}, "My Loop.mid", 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.loop.toStdString());
        QTemporaryDir dir;
        const bool own = !QFileInfo(c.loop).isAbsolute();
        const QString loopPath = own ? dir.filePath(c.loop) : c.loop;
        if (own)
            writeFile(loopPath, loopText(38, kHit));
        writeFile(dir.filePath(c.output), "an older file, to be replaced");
        const Exit e = runZumbal(QStringList{"export-midi", loopPath} + c.options, dir.path());
        ASSERT_EQ(e.code, 0) << e.err.toStdString();
        EXPECT_EQ(e.err, "");

        const std::vector<uint8_t> expected =
            writeMidiFile(readLoopForExport(readFile(loopPath).toStdString()), c.repeats);
        EXPECT_EQ(readFile(dir.filePath(c.output)),
                  QByteArray(reinterpret_cast<const char*>(expected.data()),
                             static_cast<qsizetype>(expected.size())));
        QStringList wanted{c.output};
        if (own)
            wanted << "in";
        wanted.sort();
        EXPECT_EQ(entries(dir.path()), wanted);
    }
}

struct Wav {
    SF_INFO info{};
    std::vector<float> peak; // max(|left|, |right|) per frame
};

Wav readWav(const QString& path) {
    Wav w;
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &w.info);
    if (!file)
        return w;
    std::vector<float> frames(static_cast<size_t>(w.info.frames * w.info.channels));
    sf_readf_float(file, frames.data(), w.info.frames);
    sf_close(file);
    for (size_t i = 0; i + 1 < frames.size(); i += 2)
        w.peak.push_back(std::max(std::abs(frames[i]), std::abs(frames[i + 1])));
    return w;
}

std::string installedSoundFont() {
    return findSoundFont("", std::getenv("ZUMBAL_SOUNDFONT"));
}

// Where sounds start: the first frame at or above -60 dBFS after at least 50 ms below it.
std::vector<int64_t> onsets(const std::vector<float>& peak) {
    constexpr int kQuiet = 44100 / 20;
    std::vector<int64_t> found;
    int below = kQuiet;
    for (size_t i = 0; i < peak.size(); ++i) {
        if (peak[i] < 1e-3f) {
            ++below;
            continue;
        }
        if (below >= kQuiet)
            found.push_back(static_cast<int64_t>(i));
        below = 0;
    }
    return found;
}

TEST(Render, BeatsLandOnTheirSamplesAndTheLastStrokeRingsOut) {
    if (installedSoundFont().empty())
        GTEST_SKIP() << "no General MIDI SoundFont installed";
    QTemporaryDir dir;
    writeFile(dir.filePath("in/Beat Loop"), loopText(75, kHit)); // claves: sharp and short
    const Exit e = runZumbal({"render", dir.filePath("in/Beat Loop"), "-r", "2"}, dir.path());
    ASSERT_EQ(e.code, 0) << e.err.toStdString();
    EXPECT_EQ(e.err, "");
    EXPECT_EQ(entries(dir.path()), (QStringList{"Beat Loop.wav", "in"}));

    const Wav wav = readWav(dir.filePath("Beat Loop.wav"));
    EXPECT_EQ(wav.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    EXPECT_EQ(wav.info.samplerate, 44100);
    EXPECT_EQ(wav.info.channels, 2);

    // 2 bars of 4 beats; beat k is due at (4k + 1) x 5512.5 samples. Each note
    // starts on a 64-frame block, then sounds after the SoundFont's own
    // constant attack delay, which the first onset gives.
    const std::vector<int64_t> heard = onsets(wav.peak);
    ASSERT_EQ(heard.size(), 8u);
    const double delay = static_cast<double>(heard[0]) - 5512.5;
    EXPECT_GE(delay, -32);
    EXPECT_LT(delay, 2205);
    for (size_t k = 1; k < heard.size(); ++k)
        EXPECT_LE(std::abs(static_cast<double>(heard[k] - heard[0]) - k * 22050.0), 64)
            << "beat " << k;

    // The last stroke (32) sounds its whole length, up to where stroke 33
    // would start; the tail then ends once it has been silent for 100 ms.
    const auto frames = static_cast<double>(wav.peak.size());
    EXPECT_GE(frames, 33 * 5512.5 - 32 + 4410);
    EXPECT_LE(frames, 33 * 5512.5 + 32 + 5 * 44100 + 512);
    EXPECT_LT(*std::max_element(wav.peak.end() - 4410, wav.peak.end()), 1e-4f + 1.0f / 32768);
}

TEST(Render, TheSeedDecidesTheRandomHits) {
    if (installedSoundFont().empty())
        GTEST_SKIP() << "no General MIDI SoundFont installed";
    struct Case {
        QStringList options;
        int sameAs; // renders of one group are identical, of different groups not
    };
    const std::vector<Case> cases{
        {{}, 0}, {{}, 0}, {{"--seed", "1234"}, 1}, {{"--seed", "1234"}, 1}, {{"--seed", "99"}, 2},
    };
    QTemporaryDir dir;
    writeFile(dir.filePath("random"), loopText(76, kRandomHit, true));
    std::map<int, QByteArray> groups;
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.options.join(' ').toStdString());
        const QString out = dir.filePath(QString("render %1.wav").arg(i));
        const Exit e = runZumbal(
            QStringList{"render", dir.filePath("random"), "-r", "2", "-o", out} + c.options,
            dir.path());
        ASSERT_EQ(e.code, 0) << e.err.toStdString();
        const QByteArray bytes = readFile(out);
        for (const auto& [group, earlier] : groups)
            EXPECT_EQ(bytes == earlier, group == c.sameAs) << "against group " << group;
        groups.emplace(c.sameAs, bytes);
    }
}

} // namespace
} // namespace zumbal

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

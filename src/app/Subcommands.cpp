#include "app/Subcommands.h"

#include "editor/PendingSwitch.h"
#include "export/MidiWriter.h"
#include "loops/FileNames.h"
#include "loops/LoopFile.h"
#include "loops/LoopLibrary.h"
#include "loops/LoopModel.h"
#include "loops/ReplaceFile.h"
#include "model/FileTypes.h"
#include "playback/BassLine.h"
#include "playback/OfflineRender.h"
#include "playback/SoundFontLocator.h"
#include "playback/SoundSystem.h"
#include "song/SongFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zumbal {

namespace {

int fail(const QString& message) {
    std::fprintf(stderr, "zumbal: %s\n", qPrintable(message));
    return 1;
}

// A loop that the command plays, for its passes, its bass moved to a key as
// its FastSwitch letter moves it.
struct Entry {
    std::string text; // the loop file's
    int passes = 1;
    std::optional<int> key;
};

// What the command plays: the loop file's passes, or the entries of a song
// whose presets are there; and the names its output is named after.
struct Playlist {
    std::vector<Entry> entries;
    std::string name;     // the song's; empty for a loop
    std::string fileName; // the loop's or song's file name
};

// Semitones a bass key moves a loop just loaded, as its FastSwitch letter does.
int keyTransposition(const std::optional<int>& key) {
    return key ? fastSwitchTransposition(fastSwitchLetter(*key), 0) : 0;
}

// The loops folder of a song: --loops, else where the window finds it too.
QString loopsFolderOf(const Subcommand& command) {
    if (!command.loops.isEmpty())
        return command.loops;
    return fileNameText(presetsFolderOf(fileNameBytes(command.loopFile)).string());
}

// The song's entries whose presets read as loop files; one line on stderr
// for each that is skipped, once something is left to play.
int readSong(const Subcommand& command, Playlist& list) {
    const QString& path = command.loopFile;
    if (command.repeatsGiven)
        return fail(QStringLiteral("%1: a song plays each entry's own passes; -r is for a loop "
                                   "file")
                        .arg(path));
    std::string reason;
    const std::optional<Song> song = readSongFile(fileNameBytes(path), reason);
    if (!song)
        return fail(QStringLiteral("cannot read %1: %2").arg(path, QString::fromStdString(reason)));
    const QString folder = loopsFolderOf(command);
    QStringList skipped;
    for (const SongEntry& entry : song->entries) {
        QString error;
        const std::filesystem::path preset =
            std::filesystem::path(fileNameBytes(folder)) / entry.preset;
        std::optional<std::string> text = readLoopFileText(preset, error);
        if (!text) {
            skipped << QStringLiteral("%1: skipped %2: %3")
                           .arg(path, fileNameText(preset.native()), error);
            continue;
        }
        list.entries.push_back({std::move(*text), entry.passes, entry.key});
    }
    if (list.entries.empty())
        return fail(QStringLiteral("%1: nothing to play").arg(path));
    for (const QString& line : skipped)
        fail(line);
    list.name = song->name;
    return 0;
}

// The loop file's passes or the song's entries; 0, or the exit code after
// one line on stderr.
int readPlaylist(const Subcommand& command, Playlist& list) {
    const QString& path = command.loopFile;
    list.fileName = QFileInfo(path).fileName().toStdString();
    QString error;
    std::optional<std::string> text = readLoopBytes(fileNameBytes(path), error);
    if (!text)
        return fail(QStringLiteral("cannot read %1: %2").arg(path, error));
    if (hasSongFileTag(firstLine(*text)))
        return readSong(command, list);
    if (!hasLoopFileTag(firstLine(*text)))
        return fail(QStringLiteral("cannot read %1: it is not a Zumbal loop file").arg(path));
    list.entries.push_back({std::move(*text), command.repeats, std::nullopt});
    return 0;
}

// -o as given, else the export's own file name for the song's name or the
// loop file's, in the current folder.
QString outputPath(const Subcommand& command, const Playlist& list, const QString& extension) {
    if (!command.output.isEmpty())
        return command.output;
    const std::string midi = exportFileName(list.name, list.fileName);
    return QString::fromStdString(midi.substr(0, midi.size() - 4)) + extension;
}

QString writeError(const QSaveFile& file, const QString& reason = {}) {
    return QStringLiteral("cannot write %1: %2")
        .arg(file.fileName(), reason.isEmpty() ? file.errorString() : reason);
}

int exportMidi(const Subcommand& command, const Playlist& list) {
    std::vector<ExportPart> parts;
    for (const Entry& entry : list.entries)
        parts.push_back({readLoopForExport(entry.text), entry.passes, keyTransposition(entry.key)});
    const std::vector<uint8_t> bytes = writeMidiFile(parts, command.seed);
    if (bytes.empty())
        return fail(
            QStringLiteral("%1: too long to be written as one MIDI file").arg(command.loopFile));
    const QString path =
        outputPath(command, list, QString::fromLatin1(primaryExtension(pAudioMid)));
    const QString error = replaceFile(path, QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                                       static_cast<qsizetype>(bytes.size())));
    if (!error.isEmpty())
        return fail(QStringLiteral("cannot write %1: %2").arg(path, error));
    return 0;
}

struct SndfileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};

// The most frames a WAV file holds: its sizes are 32-bit counts of bytes.
constexpr int64_t kMaxWavFrames = (int64_t{1} << 32) / 4 - 1024;

int render(const Subcommand& command, const Playlist& list) {
    // The loops as the bar line loads them, and the tempo and meter each
    // one plays at, as loaded into a model of their own.
    std::vector<std::unique_ptr<PendingSwitch>> switches;
    std::vector<RenderPart> parts;
    {
        auto loaded = std::make_unique<globali>();
        for (const Entry& entry : list.entries) {
            auto change = std::make_unique<PendingSwitch>();
            change->loop = parseLoop(entry.text);
            if (entry.key)
                change->key = fastSwitchLetter(*entry.key);
            loadIntoModel(*loaded, *change->loop, true);
            parts.push_back(loopPart(*loaded, entry.passes));
            parts.back().change = change.get();
            switches.push_back(std::move(change));
        }
    }
    const int outputRate = SynthOptions{}.sampleRate;
    if (partsLength(parts, outputRate) + static_cast<int64_t>(kMaxTailSeconds * outputRate) >
        kMaxWavFrames)
        return fail(
            QStringLiteral("%1: too long to be written as one WAV file").arg(command.loopFile));

    // The output is opened first, so that an impossible target is reported
    // before the SoundFont takes its time to load.
    QSaveFile file(outputPath(command, list, QStringLiteral(".wav")));
    if (!file.open(QIODevice::WriteOnly))
        return fail(writeError(file));

    SoundOptions options;
    options.soundFont =
        findSoundFont(command.soundFont.toStdString(), std::getenv("ZUMBAL_SOUNDFONT"));
    options.seed = command.seed;
    std::string error;
    if (options.soundFont.empty())
        return fail(QStringLiteral("no General MIDI SoundFont found: install fluid-soundfont-gm "
                                   "or pass --soundfont FILE"));
    if (!checkSoundFont(options.soundFont, error))
        return fail(QString::fromStdString(error));

    auto g = std::make_unique<globali>();
    SoundSystem sound(*g, options);
    sound.loadSoundFont();
    // The first loop is in the model as playback starts; each later one
    // lands at its first stroke 1.
    switches.front()->apply(*g, sound.NotePl()[kBassTrack]);

    SF_INFO info{};
    info.samplerate = sound.engine().sampleRate();
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    // libsndfile writes through the save file's descriptor and leaves it
    // open, so QSaveFile still decides whether the file replaces the target.
    std::unique_ptr<SNDFILE, SndfileCloser> wav(
        sf_open_fd(file.handle(), SFM_WRITE, &info, SF_FALSE));
    if (!wav)
        return fail(writeError(file, sf_strerror(nullptr)));

    std::vector<float> frames(2 * kRenderBuffer);
    int systemError = 0;
    const auto write = [&](const float* interleaved, int count) {
        if (sf_writef_float(wav.get(), interleaved, count) == count)
            return true;
        systemError = errno;
        return false;
    };
    const auto clampInto = [](std::vector<float>& out, const float* in, size_t count) {
        out.resize(count);
        std::transform(in, in + count, out.begin(),
                       [](float x) { return std::clamp(x, -1.0f, 1.0f); });
    };
    const int rate = sound.engine().sampleRate();
    std::optional<TailFolder> folder;
    if (command.noTail)
        folder.emplace(partsLength(parts, rate),
                       static_cast<int64_t>(std::ceil(kMaxTailSeconds * rate)));
    std::vector<float> interleaved(2 * kRenderBuffer);
    const RenderResult result =
        renderParts(sound, *g, parts, [&](const float* left, const float* right, int count) {
            for (int i = 0; i < count; ++i) {
                interleaved[2 * i] = left[i];
                interleaved[2 * i + 1] = right[i];
            }
            const int own = folder ? folder->feed(left, right, count) : count;
            clampInto(frames, interleaved.data(), 2 * static_cast<size_t>(own));
            return write(frames.data(), own);
        });
    // The system's own words ("No space left on device") where it refused the write.
    const auto failedWrite = [&] {
        return fail(writeError(file, systemError != 0
                                         ? QString::fromLocal8Bit(std::strerror(systemError))
                                         : QString::fromUtf8(sf_strerror(wav.get()))));
    };
    if (!result.completed)
        return failedWrite();
    // With the ring-out folded back, the start is written again with it added.
    if (folder) {
        const std::vector<float>& start = folder->foldedStart();
        clampInto(frames, start.data(), start.size());
        if (sf_seek(wav.get(), 0, SEEK_SET) != 0 ||
            !write(frames.data(), static_cast<int>(start.size() / 2)))
            return failedWrite();
    }
    if (sf_close(wav.release()) != 0)
        return fail(writeError(file, sf_strerror(nullptr)));
    if (!file.commit())
        return fail(writeError(file));
    return 0;
}

} // namespace

int runSubcommand(const Subcommand& command) {
    Playlist list;
    if (const int code = readPlaylist(command, list); code != 0)
        return code;
    return command.kind == Subcommand::Kind::Render ? render(command, list)
                                                    : exportMidi(command, list);
}

} // namespace zumbal

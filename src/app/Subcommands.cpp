#include "app/Subcommands.h"

#include "export/MidiWriter.h"
#include "loops/FileNames.h"
#include "loops/LoopFile.h"
#include "loops/LoopLibrary.h"
#include "loops/LoopModel.h"
#include "loops/ReplaceFile.h"
#include "model/FileTypes.h"
#include "playback/OfflineRender.h"
#include "playback/SoundFontLocator.h"
#include "playback/SoundSystem.h"

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

std::optional<std::string> readLoopText(const QString& path, QString& error) {
    QString reason;
    std::optional<std::string> text = readLoopFileText(fileNameBytes(path), reason);
    if (!text)
        error = QStringLiteral("cannot read %1: %2").arg(path, reason);
    return text;
}

// -o as given, else the export's own file name for the loop, in the current folder.
QString outputPath(const Subcommand& command, const QString& extension) {
    if (!command.output.isEmpty())
        return command.output;
    const std::string midi =
        exportFileName("", QFileInfo(command.loopFile).fileName().toStdString());
    return QString::fromStdString(midi.substr(0, midi.size() - 4)) + extension;
}

QString writeError(const QSaveFile& file, const QString& reason = {}) {
    return QStringLiteral("cannot write %1: %2")
        .arg(file.fileName(), reason.isEmpty() ? file.errorString() : reason);
}

int exportMidi(const Subcommand& command, const std::string& text) {
    const std::vector<uint8_t> bytes = writeMidiFile(readLoopForExport(text), command.repeats);
    const QString path = outputPath(command, QString::fromLatin1(primaryExtension(pAudioMid)));
    const QString error = replaceFile(path, QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                                       static_cast<qsizetype>(bytes.size())));
    if (!error.isEmpty())
        return fail(QStringLiteral("cannot write %1: %2").arg(path, error));
    return 0;
}

struct SndfileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};

int render(const Subcommand& command, const std::string& text) {
    // The output is opened first, so that an impossible target is reported
    // before the SoundFont takes its time to load.
    QSaveFile file(outputPath(command, QStringLiteral(".wav")));
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
    loadIntoModel(*g, parseLoop(text), true);
    SoundSystem sound(*g, options);
    sound.loadSoundFont();

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
        folder.emplace(passesLength(*g, command.repeats, rate),
                       static_cast<int64_t>(std::ceil(kMaxTailSeconds * rate)));
    std::vector<float> interleaved(2 * kRenderBuffer);
    const RenderResult result = renderLoop(
        sound, *g, command.repeats, [&](const float* left, const float* right, int count) {
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
    QString error;
    const std::optional<std::string> text = readLoopText(command.loopFile, error);
    if (!text)
        return fail(error);
    return command.kind == Subcommand::Kind::Render ? render(command, *text)
                                                    : exportMidi(command, *text);
}

} // namespace zumbal

#include "app/CommandLine.h"

#include <QCommandLineParser>

namespace zumbal {

CommandLineResult parseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Zumbal, a drum-loop machine. Starts playing as soon as it opens."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption soundFont(
        QStringLiteral("soundfont"),
        QStringLiteral("General MIDI SoundFont to play with (default: $ZUMBAL_SOUNDFONT, "
                       "then the Debian GM SoundFonts)."),
        QStringLiteral("FILE"));
    const QCommandLineOption audio(
        QStringLiteral("audio"),
        QStringLiteral("Audio output: pulseaudio, alsa, jack or null (default: the first of "
                       "pulseaudio, alsa, jack that opens, else null)."),
        QStringLiteral("DRIVER"));
    const QCommandLineOption loops(QStringLiteral("loops"),
                                   QStringLiteral("Folder of loop presets (default: \"loops\" "
                                                  "beside the program, or in the user's data "
                                                  "folder)."),
                                   QStringLiteral("DIR"));
    const QCommandLineOption period(
        QStringLiteral("period"),
        QStringLiteral("Audio period in frames, 64 to 8192 (default 512). A larger period "
                       "survives a busy machine without dropouts, at the cost of latency."),
        QStringLiteral("FRAMES"));
    parser.addOptions({soundFont, audio, loops, period});

    CommandLineResult result;
    if (!parser.parse(arguments)) {
        result.exitCode = 2;
        result.message = parser.errorText();
        return result;
    }
    if (parser.isSet(help)) {
        // Without an application object the parser cannot know the program's name.
        result.message = parser.helpText().replace(QStringLiteral("<executable_name>"),
                                                   QStringLiteral("zumbal"));
        return result;
    }
    if (parser.isSet(version)) {
        result.message = QStringLiteral("zumbal %1\n").arg(QStringLiteral(ZUMBAL_VERSION));
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.exitCode = 2;
        result.message = QStringLiteral("unexpected argument: %1")
                             .arg(parser.positionalArguments().constFirst());
        return result;
    }
    const QString driver = parser.value(audio);
    static const QStringList drivers{"pulseaudio", "alsa", "jack", "null"};
    if (parser.isSet(audio) && !drivers.contains(driver)) {
        result.exitCode = 2;
        result.message =
            QStringLiteral("--audio takes pulseaudio, alsa, jack or null, not \"%1\"").arg(driver);
        return result;
    }
    bool periodIsNumber = true;
    const int frames = parser.isSet(period) ? parser.value(period).toInt(&periodIsNumber) : 0;
    if (!periodIsNumber || (parser.isSet(period) && (frames < 64 || frames > 8192))) {
        result.exitCode = 2;
        result.message = QStringLiteral("--period takes a number of frames from 64 to 8192");
        return result;
    }
    result.options = CommandLine{parser.value(soundFont), driver, parser.value(loops), frames};
    return result;
}

} // namespace zumbal

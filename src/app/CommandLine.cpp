#include "app/CommandLine.h"

#include "export/MidiWriter.h"
#include "midi/LiveSettings.h"
#include "playback/Synth.h"
#include "song/SongFile.h"

#include <QCommandLineParser>

namespace zumbal {

namespace {

const QString kExportMidi = QStringLiteral("export-midi");
const QString kRender = QStringLiteral("render");

const QString kCommandsHelp = QStringLiteral(
    "\nCommands (they need no display; \"zumbal COMMAND --help\" lists their options):\n"
    "  export-midi FILE       Writes a loop or a song as a Standard MIDI File.\n"
    "  render FILE            Plays a loop or a song into a WAV file.\n");

CommandLineResult usageError(const QString& command, const QString& text) {
    CommandLineResult result;
    result.exitCode = 2;
    result.message = QStringLiteral("zumbal: %1: %2 (see zumbal %1 --help)").arg(command, text);
    return result;
}

// A usage error of the program's own options, in one line.
CommandLineResult optionError(const QString& text) {
    CommandLineResult result;
    result.exitCode = 2;
    result.message = QStringLiteral("zumbal: %1 (see zumbal --help)").arg(text);
    return result;
}

CommandLineResult parseSubcommand(const QStringList& arguments) {
    const QString command = arguments.at(1);
    const bool render = command == kRender;
    QCommandLineParser parser;
    parser.setApplicationDescription(
        render ? QStringLiteral(
                     "Plays a loop file through the General MIDI synthesizer, as the program "
                     "plays it, and writes the sound as a 44.1 kHz 16-bit stereo WAV file. "
                     "Stroke 1 falls on the file's first sample, so the file lines up with a "
                     "DAW's grid. Playback stops after the last pass; the sound then rings out "
                     "(at most 5 s), unless --no-tail is given. A song file plays its entries "
                     "one after the other, each for its passes, at its tempo and in its bass "
                     "key, every bar at its own tempo's length. Needs no display and no sound "
                     "device.")
               : QStringLiteral("Writes a loop file as a Standard MIDI File (format 1, drums on "
                                "channel 10, bass on channel 9). Random hits are left out. A song "
                                "file is written as one file of its entries one after the other, "
                                "each for its passes, with the tempo, time signature and bass "
                                "program where they change and the bass in the entry's key. Steps "
                                "that vary are written as they play, pass by pass, with no fill. "
                                "Needs no display."));
    // Not addHelpOption(): its --help-all lists Qt's GUI options, which a
    // command that opens no window does not take.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays this help."));
    parser.addPositionalArgument(
        QStringLiteral("FILE"),
        QStringLiteral("A loop file, of any of its layouts, or a song file. A song's entries "
                       "whose preset is missing are skipped, as when it plays."));
    const QCommandLineOption repeats(
        {QStringLiteral("r"), QStringLiteral("repeats")},
        QStringLiteral("Passes of a loop file, %1 to %2 (default 4); a song plays each "
                       "entry's own passes.")
            .arg(kMinRepeats)
            .arg(kMaxRepeats),
        QStringLiteral("N"));
    const QCommandLineOption output(
        {QStringLiteral("o"), QStringLiteral("output")},
        QStringLiteral(
            "The file to write, named exactly (default: the loop's or song's name, kept to "
            "letters, digits and spaces, with \"%1\", in the current folder). An "
            "existing file is replaced.")
            .arg(render ? QStringLiteral(".wav") : QStringLiteral(".mid")),
        QStringLiteral("FILE"));
    const QCommandLineOption seed(
        QStringLiteral("seed"),
        render ? QStringLiteral("Seed of the random hits and the steps' chances, 0 to "
                                "18446744073709551615 (default %1: a loop renders the same every "
                                "time; another seed plays other random hits and chances).")
                     .arg(kDefaultRenderSeed)
               : QStringLiteral("Seed of the steps' chances, 0 to 18446744073709551615 (default "
                                "%1: a loop exports the same every time; another seed plays other "
                                "chances).")
                     .arg(kDefaultExportSeed),
        QStringLiteral("S"));
    const QCommandLineOption soundFont(
        QStringLiteral("soundfont"),
        QStringLiteral("General MIDI SoundFont to play with (default: $ZUMBAL_SOUNDFONT, then "
                       "the Debian GM SoundFonts). Without one nothing is written."),
        QStringLiteral("FILE"));
    const QCommandLineOption noTail(
        QStringLiteral("no-tail"),
        QStringLiteral("Write exactly the passes' length: what rings past the end is added "
                       "onto the start, so the file loops seamlessly."));
    const QCommandLineOption loops(
        QStringLiteral("loops"),
        QStringLiteral("Folder of the song's presets (default: the loops folder that holds the "
                       "song's \"%1\" folder).")
            .arg(QLatin1String(kSongsFolder.data(), kSongsFolder.size())),
        QStringLiteral("DIR"));
    parser.addOptions({help, repeats, output, loops, seed});
    if (render)
        parser.addOptions({soundFont, noTail});

    if (!parser.parse(QStringList{QStringLiteral("zumbal")} + arguments.mid(2)))
        return usageError(command, parser.errorText());
    if (parser.isSet(help)) {
        CommandLineResult result;
        result.message = parser.helpText().replace(QStringLiteral("<executable_name>"),
                                                   QStringLiteral("zumbal ") + command);
        return result;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return usageError(command, QStringLiteral("missing FILE"));
    if (positional.size() > 1)
        return usageError(command, QStringLiteral("unexpected argument: %1").arg(positional[1]));

    Subcommand sub;
    sub.kind = render ? Subcommand::Kind::Render : Subcommand::Kind::ExportMidi;
    sub.loopFile = positional.constFirst();
    sub.output = parser.value(output);
    if (parser.isSet(output) && sub.output.isEmpty())
        return usageError(command, QStringLiteral("-o needs a file name"));
    sub.loops = parser.value(loops);
    if (parser.isSet(loops) && sub.loops.isEmpty())
        return usageError(command, QStringLiteral("--loops needs a folder"));
    if (parser.isSet(repeats)) {
        sub.repeatsGiven = true;
        bool ok = false;
        sub.repeats = parser.value(repeats).toInt(&ok);
        if (!ok || sub.repeats < kMinRepeats || sub.repeats > kMaxRepeats)
            return usageError(command, QStringLiteral("-r takes a number of passes from %1 to %2")
                                           .arg(kMinRepeats)
                                           .arg(kMaxRepeats));
    }
    sub.seed = render ? kDefaultRenderSeed : kDefaultExportSeed;
    if (parser.isSet(seed)) {
        bool ok = false;
        sub.seed = parser.value(seed).toULongLong(&ok, 10);
        if (!ok)
            return usageError(command, QStringLiteral("--seed takes a whole number from 0 to "
                                                      "18446744073709551615"));
    }
    if (render) {
        sub.soundFont = parser.value(soundFont);
        sub.noTail = parser.isSet(noTail);
    }
    CommandLineResult result;
    result.subcommand = sub;
    return result;
}

} // namespace

CommandLineResult parseCommandLine(const QStringList& arguments) {
    if (arguments.size() > 1 && (arguments[1] == kExportMidi || arguments[1] == kRender))
        return parseSubcommand(arguments);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Zumbal, a drum-loop machine. Starts playing as soon as it opens."));
    // Not addHelpOption(): its --help-all promises Qt's own options, which the
    // parser cannot list before the application object exists.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays this help."));
    const QCommandLineOption helpAll(
        QStringLiteral("help-all"),
        QStringLiteral("Displays this help and the options of every command."));
    parser.addOptions({help, helpAll});
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
        QStringLiteral("Audio period in frames, 64 to 8192 (default %1): how much is rendered "
                       "at a time. JACK uses its server's period.")
            .arg(SynthOptions{}.periodSize),
        QStringLiteral("FRAMES"));
    const QCommandLineOption latency(
        QStringLiteral("latency"),
        QStringLiteral("Output latency to aim for, in milliseconds, %1 to %2 (default: two "
                       "periods). A longer one survives a busier machine without dropouts.")
            .arg(kMinLatencyMs)
            .arg(kMaxLatencyMs),
        QStringLiteral("MS"));
    const QCommandLineOption noConnect(
        QStringLiteral("no-connect"),
        QStringLiteral("JACK: leave the output ports unconnected instead of connecting them to "
                       "the first two playback ports."));
    const QCommandLineOption stats(
        QStringLiteral("stats"),
        QStringLiteral("At quit, print the audio output's figures (callbacks, late renders, "
                       "underruns, the JACK server's xruns, the audio thread's allocations) on "
                       "stderr."));
    const QCommandLineOption syncTo(
        QStringLiteral("sync"),
        QStringLiteral("Whose beat to follow: internal (Zumbal's own), jack (the JACK "
                       "transport), midi (MIDI clock in) or link (Ableton Link); default: as the "
                       "live settings say."),
        QStringLiteral("SOURCE"));
    const QCommandLineOption transportMaster(
        QStringLiteral("jack-transport-master"),
        QStringLiteral("Lead the JACK transport from Zumbal's own clock, where no other timebase "
                       "master leads it."));
    parser.addOptions(
        {soundFont, audio, loops, period, latency, noConnect, stats, syncTo, transportMaster});
    parser.addPositionalArgument(
        QStringLiteral("LOOPFILE|SONGFILE"),
        QStringLiteral("A loop file to open and play instead of the start-up loop, or a song "
                       "file to play."),
        QStringLiteral("[LOOPFILE|SONGFILE]"));

    CommandLineResult result;
    if (!parser.parse(arguments))
        return optionError(parser.errorText());
    if (parser.isSet(help) || parser.isSet(helpAll)) {
        // Without an application object the parser cannot know the program's name.
        result.message = parser.helpText().replace(QStringLiteral("<executable_name>"),
                                                   QStringLiteral("zumbal")) +
                         kCommandsHelp;
        // The full help goes on with every command's own options.
        if (parser.isSet(helpAll))
            for (const QString& command : {kExportMidi, kRender})
                result.message += "\n" + parseSubcommand({QStringLiteral("zumbal"), command,
                                                          QStringLiteral("--help")})
                                             .message;
        return result;
    }
    if (parser.isSet(version)) {
        result.message = QStringLiteral("zumbal %1\n").arg(QStringLiteral(ZUMBAL_VERSION));
        return result;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1)
        return optionError(QStringLiteral("unexpected argument: %1").arg(positional[1]));
    const QString driver = parser.value(audio);
    static const QStringList drivers{"pulseaudio", "alsa", "jack", "null"};
    if (parser.isSet(audio) && !drivers.contains(driver))
        return optionError(
            QStringLiteral("--audio takes pulseaudio, alsa, jack or null, not \"%1\"").arg(driver));
    bool periodIsNumber = true;
    const int frames = parser.isSet(period) ? parser.value(period).toInt(&periodIsNumber) : 0;
    if (!periodIsNumber || (parser.isSet(period) && (frames < 64 || frames > 8192)))
        return optionError(QStringLiteral("--period takes a number of frames from 64 to 8192"));
    bool latencyIsNumber = true;
    const double ms = parser.isSet(latency) ? parser.value(latency).toDouble(&latencyIsNumber) : 0;
    if (!latencyIsNumber ||
        (parser.isSet(latency) && !(ms >= kMinLatencyMs && ms <= kMaxLatencyMs)))
        return optionError(QStringLiteral("--latency takes milliseconds from %1 to %2")
                               .arg(kMinLatencyMs)
                               .arg(kMaxLatencyMs));
    std::optional<sync::Source> source;
    if (parser.isSet(syncTo)) {
        source = syncSourceNamed(parser.value(syncTo).toStdString());
        if (!source)
            return optionError(
                QStringLiteral("--sync takes internal, jack, midi or link, not \"%1\"")
                    .arg(parser.value(syncTo)));
    }
    if (parser.isSet(transportMaster) && source && *source != sync::Source::Internal)
        return optionError(QStringLiteral("--jack-transport-master leads from Zumbal's own clock: "
                                          "it goes with --sync internal only"));
    // It leads from Zumbal's own clock, whatever the live settings follow.
    if (parser.isSet(transportMaster))
        source = sync::Source::Internal;
    result.options = CommandLine{parser.value(soundFont),
                                 driver,
                                 parser.value(loops),
                                 frames,
                                 ms,
                                 !parser.isSet(noConnect),
                                 parser.isSet(stats),
                                 positional.value(0),
                                 source,
                                 parser.isSet(transportMaster)};
    return result;
}

} // namespace zumbal

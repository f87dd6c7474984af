#include "../support/TestFiles.h"
#include "app/CommandLine.h"
#include "app/FactoryLoops.h"
#include "app/LoopsFolder.h"
#include "app/Preferences.h"
#include "assets/DataFolder.h"
#include "export/MidiWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace zumbal {
namespace {

using test::readFile;
using test::writeFile;

// prefe(0) is the first line as it is (no file: "1"); only exactly "1" is on.
TEST(Preferences, FirstLineDecidesAndOnlyExactlyOneMeansOn) {
    const std::pair<const char*, std::string> cases[] = {
        {nullptr, "1"}, {"1", "1"},       {"1\n0\n", "1"}, {"1\r\n", "1"},
        {"0\n", "0"},   {"yes\n", "yes"}, {"1 \n", "1 "},  {"", ""},
    };
    for (const auto& [content, prefe] : cases) {
        QTemporaryDir dir;
        if (content) {
            ASSERT_TRUE(writeFile(dir.filePath("prefs"), content));
        }
        globali g;
        Preferences(dir.filePath("prefs")).leggipref(g);
        EXPECT_EQ(g.prefe[0], prefe) << (content ? content : "(no file)");
        EXPECT_EQ(eventSoundsOn(g), prefe == "1") << prefe;
    }
}

// The file is replaced by one line, its folder made if need be. A folder where
// the file should be reads as on, and is not replaced, even once changed.
TEST(Preferences, WriteReplacesTheFileButNeverAnUnreadableOne) {
    QTemporaryDir dir;
    const QString path = dir.filePath("config/prefs"), blocked = dir.filePath("prefs");
    ASSERT_TRUE(QDir().mkpath(blocked));
    for (const QString& p : {path, blocked}) {
        Preferences prefs(p);
        globali g;
        prefs.leggipref(g);
        EXPECT_EQ(g.prefe[0], "1");
        for (const char* value : {"1", "0", "1"}) {
            g.prefe[0] = value;
            EXPECT_EQ(prefs.write(g), p == path);
            EXPECT_EQ(readFile(p), p == path ? value + QByteArray("\n") : "");
        }
    }
    EXPECT_EQ(QDir(dir.filePath("config")).entryList(QDir::Files), QStringList{"prefs"});
}

// The loops folder is made beside the program, else in the user's data; the
// factory loops fill it only when it is empty, and never replace a file.
TEST(LoopsFolder, BesideTheProgramElseUserDataAndSeededOnlyWhenEmpty) {
    QTemporaryDir dir;
    const QString program = dir.filePath("bin"), data = dir.filePath("data");
    const QString blocked = dir.filePath("file"); // "file/loops" cannot be made
    ASSERT_TRUE(writeFile(blocked, "x"));
    EXPECT_EQ(locateLoopsFolder(blocked, blocked), blocked + "/loops"); // start-up goes on
    EXPECT_EQ(seedFactoryLoops(blocked + "/loops"), 0);
    EXPECT_EQ(locateLoopsFolder(blocked, data), data + "/loops");
    ASSERT_TRUE(QDir().mkpath(program));
    EXPECT_EQ(locateLoopsFolder(program, data), program + "/loops");

    const int copied = seedFactoryLoops(program + "/loops");
    EXPECT_GE(copied, 12);
    const QStringList names = QDir(program + "/loops").entryList(QDir::Files);
    EXPECT_EQ(names.size(), copied);
    for (const QString& name : names) {
        const QByteArray text = readFile(program + "/loops/" + name);
        EXPECT_TRUE(text.startsWith(name.toUtf8() + " drum loop created by Zumbal"));
        EXPECT_EQ(text.count('\n'), 258);
    }
    writeFile(data + "/loops/" + names.first(), "my own loop\n");
    EXPECT_EQ(seedFactoryLoops(data + "/loops"), 0);
    EXPECT_EQ(readFile(data + "/loops/" + names.first()), "my own loop\n");
}

// Installed, the data sits in <prefix>/share/zumbal; anywhere else (a build
// tree, an unpacked folder) beside the program.
TEST(DataFolder, InstalledPrefixElseBesideTheProgram) {
    QTemporaryDir dir;
    const QString prefix = dir.filePath("usr"), build = dir.filePath("build");
    ASSERT_TRUE(QDir().mkpath(prefix + "/bin") && QDir().mkpath(prefix + "/share/zumbal/docs"));
    ASSERT_TRUE(QDir().mkpath(build + "/docs") && QDir().mkpath(dir.filePath("share/other")));
    const std::pair<QString, QString> cases[] = {
        {prefix + "/bin", prefix + "/share/zumbal"},
        {prefix + "/bin/", prefix + "/share/zumbal"},
        {build, build}, // the "share" beside it holds no "zumbal"
    };
    for (const auto& [program, data] : cases)
        EXPECT_EQ(dataFolder(program), data) << program.toStdString();
}

// An installed program, or one in a folder the user cannot write, keeps its
// loops in the user's data and makes nothing beside itself. The layout alone
// decides for an installed one, so the rule holds as root too, where the
// permission bits stop no write (the read-only row then is skipped).
TEST(LoopsFolder, InstalledOrReadOnlyProgramUsesTheUserData) {
    struct Case {
        const char* program;
        const char* made; // folders the case makes
        bool readOnly;
        bool beside;
    };
    const Case cases[] = {
        {"build", "build", false, true},
        {"usr/bin", "usr/bin usr/share/zumbal", false, false},
        {"opt/bin", "opt/bin opt/share/other", false, true},
        {"ro", "ro", true, false},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        for (const QString& folder : QString::fromLatin1(c.made).split(' '))
            ASSERT_TRUE(QDir().mkpath(dir.filePath(folder)));
        const QString program = dir.filePath(c.program), data = dir.filePath("data");
        if (c.readOnly) {
            QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner);
            if (QFileInfo(program).isWritable())
                continue; // root
        }
        const QString loops = locateLoopsFolder(program, data);
        EXPECT_EQ(loops, (c.beside ? program : data) + "/loops") << c.program;
        EXPECT_EQ(QFileInfo::exists(program + "/loops"), c.beside) << c.program;
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
}

TEST(CommandLine, OptionsAndUsageErrors) {
    // r: the program runs, s: a subcommand runs, m: a message only; exit 2 on a
    // usage error of the program (2) or of a subcommand (u), in one line
    // starting "zumbal: ".
    const std::vector<std::pair<char, std::vector<const char*>>> cases{
        {'r',
         {"", "--audio null --soundfont a.sf2 --loops /tmp/l", "--period 1024",
          "--latency 50 --no-connect --stats", "a-loop --audio null", "--sync jack",
          "--sync link --no-connect"}},
        {'m', {"--help", "--help-all", "--version", "render -h"}},
        {'s', {"export-midi l", "render l -r 110 --seed 0", "export-midi l --seed 5"}},
        {'2',
         {"--audio oss", "--bogus", "one-loop two-loops", "--soundfont", "--period 32",
          "--period lots", "--audio null render l", "--latency 1", "--latency 501",
          "--latency soon", "--sync", "--sync jackd", "--jack-transport-master --sync midi",
          "--sync jack --jack-transport-master"}},
        {'u',
         {"export-midi", "render l extra", "export-midi l -r 0", "export-midi l -r 111",
          "render l -r four", "render l --seed -1", "render l --seed 18446744073709551616",
          "export-midi l --seed five", "export-midi l --seed", "render l --audio null"}}};
    for (const auto& [outcome, lines] : cases)
        for (const char* line : lines) {
            SCOPED_TRACE(line);
            const auto r =
                parseCommandLine(QString("zumbal %1").arg(line).split(' ', Qt::SkipEmptyParts));
            EXPECT_EQ(r.exitCode, outcome == '2' || outcome == 'u' ? 2 : 0);
            EXPECT_EQ(r.options.has_value(), outcome == 'r');
            EXPECT_EQ(r.subcommand.has_value(), outcome == 's');
            EXPECT_TRUE(r.exitCode != 2 ||
                        (r.message.startsWith("zumbal: ") && !r.message.contains('\n')))
                << r.message.toStdString();
        }
    const auto full = parseCommandLine({"zumbal", "--audio", "null", "--soundfont", "a.sf2",
                                        "--loops", "/tmp/l", "--period", "1024"});
    const CommandLine& o = *full.options;
    EXPECT_EQ((QStringList{o.audio, o.soundFont, o.loops}),
              (QStringList{"null", "a.sf2", "/tmp/l"}));
    EXPECT_EQ(o.period, 1024);
    EXPECT_EQ(o.loopFile, "");
    EXPECT_EQ(o.sync, std::nullopt);
    // Leading goes with Zumbal's own clock, whatever the live settings follow.
    for (const QStringList& line : {QStringList{"zumbal", "--jack-transport-master"},
                                    {"zumbal", "--jack-transport-master", "--sync", "internal"}}) {
        const auto led = parseCommandLine(line);
        EXPECT_EQ(led.options->sync, sync::Source::Internal);
        EXPECT_TRUE(led.options->jackTransportMaster);
    }
    EXPECT_EQ(parseCommandLine({"zumbal", "--stats", "my loop"}).options->loopFile, "my loop");
    const auto render = parseCommandLine({"zumbal", "render", "-o", "out.wav", "a loop", "-r", "8",
                                          "--seed", "77", "--soundfont", "f.sf2"});
    ASSERT_TRUE(render.subcommand);
    const Subcommand& s = *render.subcommand;
    EXPECT_EQ(s.kind, Subcommand::Kind::Render);
    EXPECT_EQ((QStringList{s.loopFile, s.output, s.soundFont}),
              (QStringList{"a loop", "out.wav", "f.sf2"}));
    EXPECT_EQ(std::pair(s.repeats, s.seed), std::pair(8, uint64_t(77)));
    const auto plain = parseCommandLine({"zumbal", "render", "l"}).subcommand;
    EXPECT_EQ(std::pair(plain->repeats, plain->seed), std::pair(4, kDefaultRenderSeed));
    // The export's seed, as given or its default, with render's error for a bad one.
    for (const auto& [line, seed] :
         {std::pair("export-midi l --seed 18446744073709551615", uint64_t(18446744073709551615u)),
          std::pair("export-midi l", kDefaultExportSeed)})
        EXPECT_EQ(parseCommandLine(QString("zumbal %1").arg(line).split(' ')).subcommand->seed,
                  seed)
            << line;
    const auto error = [](const QString& command) {
        return parseCommandLine({"zumbal", command, "l", "--seed", "x"})
            .message.replace(command, "COMMAND");
    };
    EXPECT_EQ(error("export-midi"), error("render"));
}

// The manual page documents every option and command that --help-all lists.
TEST(ManualPage, HoldsEveryOptionOfTheHelp) {
    const QString page = QString::fromUtf8(readFile(ZUMBAL_SOURCE_DIR "/data/zumbal.1"));
    ASSERT_TRUE(page.startsWith(".TH ZUMBAL 1"));
    const QString help = parseCommandLine({"zumbal", "--help-all"}).message;
    static const QRegularExpression word(
        QStringLiteral("(?:^|\\s)(--?[a-z][a-z-]*|export-midi|render)"));
    int checked = 0;
    for (auto it = word.globalMatch(help); it.hasNext(); ++checked) {
        QString name = it.next().captured(1);
        EXPECT_TRUE(page.contains(name.replace('-', QStringLiteral("\\-")))) << name.toStdString();
    }
    EXPECT_GT(checked, 20);
    EXPECT_TRUE(page.contains(".RI [ LOOPFILE | SONGFILE ]"));
    EXPECT_TRUE(page.contains(QStringLiteral("\"Zumbal %1\"").arg(ZUMBAL_VERSION)));
}

} // namespace
} // namespace zumbal

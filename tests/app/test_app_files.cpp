#include "app/CommandLine.h"
#include "app/FactoryLoops.h"
#include "app/LoopsFolder.h"
#include "app/Preferences.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace zumbal {
namespace {

void writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

TEST(Preferences, FirstLineDecidesAndOnlyExactlyOneMeansOn) {
    struct Case {
        const char* content; // nullptr: no file
        std::string prefe;
        bool soundsOn;
    };
    const std::vector<Case> cases{
        {nullptr, "1", true}, {"1", "1", true},        {"1\n0\n", "1", true}, {"1\r\n", "1", true},
        {"0\n", "0", false},  {"yes\n", "yes", false}, {"1 \n", "1 ", false}, {"", "", false},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        const QString path = dir.filePath("zumbal preferences");
        if (c.content)
            writeFile(path, c.content);
        globali g;
        Preferences(path).leggipref(g);
        EXPECT_EQ(g.prefe[0], c.prefe) << (c.content ? c.content : "(no file)");
        EXPECT_EQ(eventSoundsOn(g), c.soundsOn);
    }
}

TEST(Preferences, WriteReplacesTheFileWithOneLine) {
    QTemporaryDir dir;
    const QString path = dir.filePath("config/zumbal preferences");
    Preferences prefs(path);
    globali g;
    prefs.leggipref(g);
    g.prefe[0] = "0";
    ASSERT_TRUE(prefs.write(g));
    EXPECT_EQ(readFile(path), "0\n");
    g.prefe[0] = "1";
    ASSERT_TRUE(prefs.write(g));
    EXPECT_EQ(readFile(path), "1\n");
    EXPECT_EQ(QDir(dir.filePath("config")).entryList(QDir::Files).size(), 1);
}

TEST(Preferences, AnUnreadableFileIsNeitherFatalNorOverwrittenUnchanged) {
    QTemporaryDir dir;
    // A folder where the file should be cannot be read as text, even by root.
    const QString path = dir.filePath("zumbal preferences");
    ASSERT_TRUE(QDir().mkpath(path));
    Preferences prefs(path);
    globali g;
    prefs.leggipref(g);
    EXPECT_EQ(g.prefe[0], "1");
    EXPECT_FALSE(prefs.write(g));
    EXPECT_TRUE(QFileInfo(path).isDir());
    g.prefe[0] = "0";
    EXPECT_FALSE(prefs.write(g)); // cannot replace a folder; no crash, nothing lost
    EXPECT_TRUE(QFileInfo(path).isDir());
}

TEST(LoopsFolder, BesideTheProgramWhenPossibleElseUserData) {
    QTemporaryDir dir;
    const QString program = dir.filePath("bin");
    const QString data = dir.filePath("data");
    QDir().mkpath(program);
    EXPECT_EQ(locateLoopsFolder(program, data), program + "/loops");
    EXPECT_TRUE(QFileInfo(program + "/loops").isDir());

    // A file named "bin2" makes "bin2/loops" impossible.
    const QString blocked = dir.filePath("bin2");
    writeFile(blocked, "x");
    EXPECT_EQ(locateLoopsFolder(blocked, data), data + "/loops");
    EXPECT_TRUE(QFileInfo(data + "/loops").isDir());

    // Neither can be made: start-up goes on with an empty presets list.
    EXPECT_EQ(locateLoopsFolder(blocked, blocked), blocked + "/loops");
}

TEST(FactoryLoops, FillAnEmptyFolderOnlyAndNeverReplaceAFile) {
    QTemporaryDir dir;
    const QString empty = dir.filePath("empty");
    QDir().mkpath(empty);
    const int copied = seedFactoryLoops(empty);
    EXPECT_GE(copied, 12);
    const QStringList names = QDir(empty).entryList(QDir::Files);
    EXPECT_EQ(names.size(), copied);
    for (const QString& name : names) {
        const QByteArray text = readFile(empty + "/" + name);
        EXPECT_TRUE(text.startsWith(name.toUtf8() + " drum loop created by Zumbal"));
        EXPECT_EQ(text.count('\n'), 258);
    }
    EXPECT_EQ(seedFactoryLoops(empty), 0); // already full

    const QString mine = dir.filePath("mine");
    QDir().mkpath(mine);
    writeFile(mine + "/" + names.first(), "my own loop\n");
    EXPECT_EQ(seedFactoryLoops(mine), 0);
    EXPECT_EQ(readFile(mine + "/" + names.first()), "my own loop\n");
    EXPECT_EQ(seedFactoryLoops(dir.filePath("missing")), 0);
}

TEST(CommandLine, OptionsAndUsageErrors) {
    struct Case {
        QStringList args;
        int exitCode;
        bool runs;
        bool subcommand = false;
    };
    const std::vector<Case> cases{
        {{}, 0, true},
        {{"--audio", "null", "--soundfont", "a.sf2", "--loops", "/tmp/l"}, 0, true},
        {{"--audio", "oss"}, 2, false},
        {{"--bogus"}, 2, false},
        {{"stray"}, 2, false},
        {{"--soundfont"}, 2, false},
        {{"--period", "1024"}, 0, true},
        {{"--period", "32"}, 2, false},
        {{"--period", "lots"}, 2, false},
        {{"--help"}, 0, false},
        {{"--version"}, 0, false},
        // A command only counts as the first argument.
        {{"--audio", "null", "render", "l"}, 2, false},
        {{"export-midi", "l"}, 0, false, true},
        {{"render", "l", "-r", "110", "--seed", "0"}, 0, false, true},
        {{"render", "-h"}, 0, false},
        {{"export-midi"}, 2, false},
        {{"render", "l", "extra"}, 2, false},
        {{"export-midi", "l", "-r", "0"}, 2, false},
        {{"export-midi", "l", "-r", "111"}, 2, false},
        {{"render", "l", "-r", "four"}, 2, false},
        {{"render", "l", "--seed", "-1"}, 2, false},
        {{"render", "l", "--seed", "18446744073709551616"}, 2, false},
        {{"export-midi", "l", "--seed", "5"}, 2, false},
        {{"render", "l", "--audio", "null"}, 2, false},
    };
    for (const Case& c : cases) {
        const CommandLineResult r = parseCommandLine(QStringList{"zumbal"} + c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args.join(' ').toStdString();
        EXPECT_EQ(r.options.has_value(), c.runs) << c.args.join(' ').toStdString();
        EXPECT_EQ(r.subcommand.has_value(), c.subcommand) << c.args.join(' ').toStdString();
        if (c.exitCode == 2 && (c.args.value(0) == "render" || c.args.value(0) == "export-midi")) {
            EXPECT_TRUE(r.message.startsWith("zumbal: ")) << r.message.toStdString();
            EXPECT_FALSE(r.message.contains('\n')) << r.message.toStdString();
        }
    }
    const auto full = parseCommandLine(
        {"zumbal", "--audio", "null", "--soundfont", "a.sf2", "--loops", "/tmp/l"});
    EXPECT_EQ(full.options->audio, "null");
    EXPECT_EQ(full.options->soundFont, "a.sf2");
    EXPECT_EQ(full.options->loops, "/tmp/l");
    const auto help = parseCommandLine({"zumbal", "--help"});
    for (const char* option :
         {"--soundfont", "--audio", "--loops", "--period", "export-midi", "render LOOPFILE"})
        EXPECT_TRUE(help.message.contains(option)) << option;

    const auto render = parseCommandLine({"zumbal", "render", "-o", "out.wav", "a loop", "-r", "8",
                                          "--seed", "77", "--soundfont", "f.sf2"});
    ASSERT_TRUE(render.subcommand);
    EXPECT_EQ(render.subcommand->kind, Subcommand::Kind::Render);
    EXPECT_EQ(render.subcommand->loopFile, "a loop");
    EXPECT_EQ(render.subcommand->output, "out.wav");
    EXPECT_EQ(render.subcommand->repeats, 8);
    EXPECT_EQ(render.subcommand->seed, 77u);
    EXPECT_EQ(render.subcommand->soundFont, "f.sf2");
    const auto plain = parseCommandLine({"zumbal", "render", "l"});
    EXPECT_EQ(plain.subcommand->repeats, 4);
    EXPECT_EQ(plain.subcommand->seed, kDefaultRenderSeed);
    EXPECT_TRUE(parseCommandLine({"zumbal", "render", "-h"}).message.contains("--seed"));
}

} // namespace
} // namespace zumbal

#include "song/SongCursor.h"
#include "song/SongFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace zumbal {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

// The exact layout, as a file written by hand has it, and back through every
// line ending, with and without a final newline. What a file cannot hold is
// never written: a line break in a name would read as more lines or entries.
TEST(SongFile, WritesTheLayoutByteForByteAndReadsItBackWithAnyLineEnding) {
    const Song song{"Friday set",
                    {{4, {}, "Funk Ghosts"},
                     {2, 4, "Funk Ghosts"},
                     {8, 10, "Caf\xe9 loop"}, // Latin-1, as copied from an older system
                     {1, {}, "Fill 2"}}};
    const std::string text = writeSong(song);
    std::ifstream fixture(fs::path(ZUMBAL_SONG_FIXTURES) / "friday-set", std::ios::binary);
    EXPECT_EQ(text, std::string(std::istreambuf_iterator<char>(fixture), {}));
    for (const std::string ending : {"\n", "\r\n", "\r"}) {
        std::string converted;
        for (char c : text)
            converted += c == '\n' ? ending : std::string(1, c);
        EXPECT_EQ(parseSong(converted), song) << ending.size();
        converted.resize(converted.size() - ending.size());
        EXPECT_EQ(parseSong(converted), song) << ending.size();
    }
    const Song odd{"Two\nlines\r", {{0, 13, "a\n5\tC\tinjected"}, {120, -1, "x"}, {3, 2, ".."}}};
    EXPECT_EQ(writeSong(odd), "Two lines  song created by Zumbal (Zumbal song file format)\n"
                              "100\n99\tB\tx\n");
    // Each key's name, FastSwitch letter and the name read back, modulo 12.
    std::string keys;
    for (int s = -1; s <= 12; ++s)
        keys.append(keyName(s)) += std::string(1, char(fastSwitchLetter(s))) +
                                   (keyOfName(keyName(s)) == (s + 12) % 12 ? " " : "? ");
    EXPECT_EQ(keys, "Bk Cs C#e Dd D#r Ef Fg F#y Gh G#u Aj A#i Bk Cs ");
}

// Each line after the version is read alone: one that does not parse is
// skipped, and the lines after it still are read. Passes may be zero-padded,
// as aligned columns are; the name is the rest of the line, tabs and all.
TEST(SongFile, SkipsEachLineThatDoesNotParse) {
    const std::string header = "S song created by Zumbal (Zumbal song file format)\n100\n";
    const auto around = [&](const std::string& line) {
        return parseSong(header + "2\tD\tfirst\n" + line + "\n5\t-\tafter").value().entries;
    };
    const std::vector<std::pair<std::string, SongEntry>> read{
        {"99\t-\tx", {99, {}, "x"}},
        {"007\tB\tx", {7, 11, "x"}},
        {"00000000000000000001\tC\tx", {1, 0, "x"}},
        {"1\tA#\t a\tb ...", {1, 10, " a\tb ..."}},
        {"3\tG\t\xff\xfe", {3, 7, "\xff\xfe"}}};
    for (const auto& [line, entry] : read)
        EXPECT_EQ(around(line), (std::vector<SongEntry>{{2, 2, "first"}, entry, {5, {}, "after"}}))
            << line;
    const std::vector<std::string> skipped{
        "\tC\tx",     "0\tC\tx",  "100\tC\tx", "1000\tC\tx", "999999999999\tC\tx",
        "+5\tC\tx",   " 5\tC\tx", "5 \tC\tx",  "4\tc\tx",    "4\tDb\tx",
        "4\t\tx",     "4\tC\t",   "4\tC\ta/b", "4\tC\t.",    "4\tC\t..",
        "4\tC\tx\0"s, "4\tC",     "4",         "",           "\x7f\x45LF\2\1\0\3\0>\xa0"s};
    for (const std::string& line : skipped)
        EXPECT_EQ(around(line), (std::vector<SongEntry>{{2, 2, "first"}, {5, {}, "after"}}))
            << line;

    // The name on line 1, and no song without the tag at its end.
    const std::vector<std::pair<std::string, std::optional<Song>>> files{
        {"Set (Zumbal song file format)\r\n100\r\n1\t-\tx", Song{"Set", {{1, {}, "x"}}}},
        {"\xEF\xBB\xBFSet  (Zumbal song file format)", Song{"Set", {}}},
        {" song created by Zumbal (Zumbal song file format)\n", Song{"", {}}},
        {header + "2\tD\tfirst\n3\tE\tcut sho", Song{"S", {{2, 2, "first"}, {3, 4, "cut sho"}}}},
        {"Set (Zumbal song file format) \n100\n", {}},
        {"Set (Zumbal loop text file format)\n130\n", {}},
        {"\nSet (Zumbal song file format)\n100\n", {}},
        {"\0\1\2(Zumbal song file format)\xff"s, {}},
        {"", {}}};
    for (const auto& [text, song] : files)
        EXPECT_EQ(parseSong(text), song) << text;
}

// Listed: regular files whose first line, within the 4 KiB read, ends in the
// tag. Read: a regular song file up to the size limit, and nothing else; a
// named pipe without waiting for a writer.
TEST(SongFolder, ListsAndReadsOnlySongFiles) {
    const fs::path dir = fs::temp_directory_path() / ("zumbal-songs-" + std::to_string(getpid()));
    const std::string tag(kSongFileTag);
    const std::vector<std::pair<std::string, std::string>> items{
        {"Song 10", "Song 10" + std::string(kSongHeaderSuffix) + "\n100\n1\t-\tx\n"},
        {"song 2", "other name " + tag + "\r\n"},
        {"loop", "x (Zumbal loop text file format)\n130\n"},
        {"long first line", std::string(5000, 'x') + tag + "\n"},
        {"huge", tag + "\n100\n" + std::string(kMaxSongFileBytes, '\n')}};
    fs::create_directories(dir / ("folder " + tag));
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
    for (const auto& [name, text] : items)
        std::ofstream(dir / name, std::ios::binary) << text;
    EXPECT_EQ(listSongFiles(dir), (std::vector<std::string>{"huge", "song 2", "Song 10"}));
    EXPECT_TRUE(listSongFiles(dir / "missing").empty());

    const std::vector<std::pair<std::string, std::string>> reads{
        {"song 2", ""},
        {"long first line", ""},
        {"huge", "it is too big for a song file"},
        {"loop", "it is not a Zumbal song file"},
        {"pipe", "it is not a regular file"},
        {"folder " + tag, "it is not a regular file"},
        {"missing", "No such file or directory"}};
    for (const auto& [name, why] : reads) {
        std::string error;
        EXPECT_EQ(readSongFile(dir / name, error).has_value(), why.empty()) << name;
        EXPECT_EQ(error, why) << name;
    }
    std::string error;
    EXPECT_EQ(readSongFile(dir / "Song 10", error), (Song{"Song 10", {{1, {}, "x"}}}));
    fs::remove_all(dir);
}

// Entry 1's preset is missing; entry 4 has no flag, so it is missing too.
TEST(SongCursor, CountsPassesSkipsMissingEntriesAndLoopsOrEnds) {
    const Song song{"S", {{2, {}, "a"}, {1, {}, "gone"}, {3, {}, "c"}, {1, {}, "d"}, {1, {}, "e"}}};
    const std::vector<bool> playable{true, false, true, true}, none(5, false);
    std::vector<SongPlace> walk{{0, 1}};
    while (const std::optional<SongPlace> next = nextPlace(song, playable, walk.back(), false))
        walk.push_back(*next);
    EXPECT_EQ(walk, (std::vector<SongPlace>{{0, 1}, {0, 2}, {2, 1}, {2, 2}, {2, 3}, {3, 1}}));

    constexpr int kBarLine = 2; // nextPlace, not a skip
    struct Case {
        SongPlace now;
        int direction;
        bool loop;
        std::optional<SongPlace> to;
    };
    const std::vector<Case> cases{
        {{3, 1}, kBarLine, true, SongPlace{0, 1}},
        {{0, 9}, kBarLine, false, SongPlace{2, 1}}, // passes cut down while it played
        {{1, 1}, kBarLine, false, SongPlace{2, 1}}, // its preset went missing while it played
        {{9, 1}, kBarLine, true, SongPlace{0, 1}},  // entries removed while it played
        {{2, 2}, +1, false, SongPlace{3, 1}},
        {{3, 1}, +1, true, SongPlace{0, 1}},
        {{3, 1}, +1, false, {}},
        {{2, 3}, -1, false, SongPlace{0, 1}},
        {{0, 2}, -1, true, SongPlace{3, 1}},
        {{0, 2}, -1, false, SongPlace{0, 1}},
        {{2, 3}, 0, false, SongPlace{2, 1}},
        {{1, 1}, 0, false, SongPlace{2, 1}}};
    for (const Case& c : cases) {
        const auto to = c.direction == kBarLine
                            ? nextPlace(song, playable, c.now, c.loop)
                            : skipTo(song, playable, c.now, c.direction, c.loop);
        EXPECT_EQ(to, c.to) << c.now.entry << "." << c.now.pass << " " << c.direction << c.loop;
        EXPECT_EQ(c.direction == kBarLine ? nextPlace(song, none, c.now, true)
                                          : skipTo(song, none, c.now, c.direction, true),
                  std::nullopt);
    }
    EXPECT_EQ((std::vector{firstPlayable(playable, 1), firstPlayable({false, true, false}, 2),
                           firstPlayable(playable, -3), firstPlayable(none, 0)}),
              (std::vector<std::optional<int>>{2, 1, 0, {}}));
}

} // namespace
} // namespace zumbal

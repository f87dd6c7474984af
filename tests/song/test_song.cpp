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

const std::string kHeader = "S song created by Zumbal (Zumbal song file format)\n100\n";

std::string readFixture(const std::string& name) {
    std::ifstream file(fs::path(ZUMBAL_SONG_FIXTURES) / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

// The exact layout, as a file written by hand has it, and back through every
// line ending, with and without a final newline.
TEST(SongFile, WritesTheLayoutByteForByteAndReadsItBackWithAnyLineEnding) {
    const Song song{"Friday set",
                    {{4, std::nullopt, "Funk Ghosts"},
                     {2, 4, "Funk Ghosts"},
                     {8, 10, "Caf\xe9 loop"}, // Latin-1, as copied from an older system
                     {1, std::nullopt, "Fill 2"}}};
    const std::string text = writeSong(song);
    EXPECT_EQ(text, readFixture("friday-set"));
    for (const std::string ending : {"\n", "\r\n", "\r"}) {
        std::string converted;
        for (char c : text)
            converted += c == '\n' ? ending : std::string(1, c);
        EXPECT_EQ(parseSong(converted), song) << ending.size();
        converted.resize(converted.size() - ending.size());
        EXPECT_EQ(parseSong(converted), song) << ending.size();
    }
    EXPECT_EQ(parseSong(readFixture("cr-endings"))->entries.size(), 2u);

    // What a file cannot hold is never written: a line break in the name
    // would read as more lines, a preset name with one as more entries.
    const Song odd{"Two\nlines\r", {{0, 13, "a\n5\tC\tinjected"}, {120, -1, "x"}, {3, 2, ".."}}};
    EXPECT_EQ(writeSong(odd), "Two lines  song created by Zumbal (Zumbal song file format)\n"
                              "100\n99\tB\tx\n");
}

// Each line after the version is read alone: one that does not parse is
// skipped, and the lines after it still are read.
TEST(SongFile, SkipsEachLineThatDoesNotParse) {
    const std::vector<std::pair<std::string, std::optional<SongEntry>>> lines{
        {"99\t-\tx", SongEntry{99, std::nullopt, "x"}},
        {"007\tB\tx", SongEntry{7, 11, "x"}}, // zero-padded, as aligned columns are
        {"00000000000000000001\tC\tx", SongEntry{1, 0, "x"}},
        {"1\tA#\t a\tb ...", SongEntry{1, 10, " a\tb ..."}}, // the rest of the line
        {"3\tG\t\xff\xfe", SongEntry{3, 7, "\xff\xfe"}},
        {"\tC\tx", {}},
        {"0\tC\tx", {}},
        {"100\tC\tx", {}},
        {"1000\tC\tx", {}},
        {"99999999999999999999\tC\tx", {}},
        {"+5\tC\tx", {}},
        {" 5\tC\tx", {}},
        {"5 \tC\tx", {}},
        {"4\tc\tx", {}},
        {"4\tDb\tx", {}},
        {"4\t\tx", {}},
        {"4\tC\t", {}},
        {"4\tC\ta/b", {}},
        {"4\tC\t.", {}},
        {"4\tC\t..", {}},
        {"4\tC\tx\0y"s, {}},
        {"4\tC", {}}, // cut short
        {"4", {}},
        {"", {}},
        {"\x7f"
         "ELF\2\1\1\0\0\0\0\0\0\0\0\0\3\0>\0\1\0\0\0\xa0\xf4\0\0"s,
         {}}};
    for (const auto& [line, entry] : lines) {
        std::vector<SongEntry> expected{{2, 2, "first"}};
        if (entry)
            expected.push_back(*entry);
        expected.push_back({5, std::nullopt, "after"});
        const std::optional<Song> song =
            parseSong(kHeader + "2\tD\tfirst\n" + line + "\n5\t-\tafter\n");
        ASSERT_TRUE(song) << line;
        EXPECT_EQ(song->entries, expected) << line;
    }

    // Whole files: the name on line 1, and no song without the tag there.
    const std::vector<std::pair<std::string, std::optional<Song>>> files{
        {"Set (Zumbal song file format)\n100\n1\t-\tx", Song{"Set", {{1, std::nullopt, "x"}}}},
        {"\xEF\xBB\xBFSet  (Zumbal song file format)", Song{"Set", {}}},
        {" song created by Zumbal (Zumbal song file format)\n", Song{"", {}}},
        {kHeader + "2\tD\tfirst\n3\tE\tcut sho", Song{"S", {{2, 2, "first"}, {3, 4, "cut sho"}}}},
        {kHeader + "2\tD\tfirst\n3\tE", Song{"S", {{2, 2, "first"}}}},
        {"Set song created by Zumbal (Zumbal song file format) \n100\n", {}},
        {"Set (Zumbal loop text file format)\n130\n", {}},
        {"\nSet (Zumbal song file format)\n100\n", {}},
        {"\0\1\2(Zumbal song file format)\xff"s, {}},
        {"", {}}};
    for (const auto& [text, song] : files)
        EXPECT_EQ(parseSong(text), song) << text;
    EXPECT_EQ(parseSong(readFixture("written-elsewhere")),
              (Song{"Written elsewhere",
                    {{16, 0, "Bossa"}, {7, 6, "Bossa"}, {12, 11, "last, no final newline"}}}));
}

TEST(SongFile, KeysByNameAndFastSwitchLetter) {
    std::string names, letters;
    for (int semitone = -1; semitone <= 12; ++semitone) {
        names.append(keyName(semitone)).append(" ");
        letters += static_cast<char>(fastSwitchLetter(semitone));
        if (semitone >= 0 && semitone < 12) {
            EXPECT_EQ(keyOfName(keyName(semitone)), semitone);
        }
    }
    EXPECT_EQ(names, "B C C# D D# E F F# G G# A A# B C ");
    EXPECT_EQ(letters, "ksedrfgyhujiks");
    EXPECT_EQ(keyOfName("-"), std::nullopt);
}

// Listed: regular files whose first line, within the 4 KiB read, ends in the
// tag. Read: a regular song file up to the size limit, nothing else, and a
// named pipe without waiting for a writer.
TEST(SongFolder, ListsAndReadsOnlySongFiles) {
    const fs::path dir = fs::temp_directory_path() / ("zumbal-songs-" + std::to_string(getpid()));
    fs::create_directories(dir / "folder (Zumbal song file format)");
    const std::string tag(kSongFileTag);
    const std::vector<std::pair<std::string, std::string>> files{
        {"Song 10", "Song 10" + std::string(kSongHeaderSuffix) + "\n100\n1\t-\tx\n"},
        {"song 2", "other name " + tag + "\r\n100\r\n"},
        {"b", tag},
        {"loop", "x drum loop created by Zumbal (Zumbal loop text file format)\n130\n"},
        {"long first line", std::string(5000, 'x') + tag + "\n"},
        {"huge", tag + "\n100\n" + std::string(kMaxSongFileBytes, '\n')},
        {"empty", ""}};
    for (const auto& [name, text] : files)
        std::ofstream(dir / name, std::ios::binary) << text;
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);

    EXPECT_EQ(listSongFiles(dir), (std::vector<std::string>{"b", "huge", "song 2", "Song 10"}));
    EXPECT_TRUE(listSongFiles(dir / "missing").empty());
    const std::vector<std::pair<std::string, std::string>> reads{
        {"Song 10", ""},
        {"long first line", ""},
        {"huge", "it is too big for a song file"},
        {"loop", "it is not a Zumbal song file"},
        {"pipe", "it is not a regular file"},
        {"folder (Zumbal song file format)", "it is not a regular file"},
        {"missing", "No such file or directory"}};
    for (const auto& [name, why] : reads) {
        std::string error;
        const std::optional<Song> song = readSongFile(dir / name, error);
        EXPECT_EQ(error, why) << name;
        EXPECT_EQ(song.has_value(), why.empty()) << name;
    }
    std::string error;
    EXPECT_EQ(readSongFile(dir / "Song 10", error), (Song{"Song 10", {{1, std::nullopt, "x"}}}));
    fs::remove_all(dir);
}

// Entry 1's preset is missing; entry 4 has no flag, so it is missing too.
TEST(SongCursor, CountsPassesSkipsMissingEntriesAndLoopsOrEnds) {
    const Song song{"S", {{2, {}, "a"}, {1, {}, "gone"}, {3, {}, "c"}, {1, {}, "d"}, {1, {}, "e"}}};
    const std::vector<bool> playable{true, false, true, true};
    std::vector<SongPlace> walk{{0, 1}};
    while (const std::optional<SongPlace> next = nextPlace(song, playable, walk.back(), false))
        walk.push_back(*next);
    EXPECT_EQ(walk, (std::vector<SongPlace>{{0, 1}, {0, 2}, {2, 1}, {2, 2}, {2, 3}, {3, 1}}));

    constexpr int kNext = 2; // nextPlace, not a skip
    struct Case {
        SongPlace now;
        int direction;
        bool loop;
        std::optional<SongPlace> to;
    };
    const std::vector<Case> cases{
        {{3, 1}, kNext, true, SongPlace{0, 1}},
        {{0, 9}, kNext, false, SongPlace{2, 1}}, // passes cut down while it played
        {{1, 1}, kNext, false, SongPlace{2, 1}}, // its preset went missing while it played
        {{9, 1}, kNext, true, SongPlace{0, 1}},  // entries removed while it played
        {{9, 1}, kNext, false, {}},
        {{2, 2}, +1, false, SongPlace{3, 1}},
        {{3, 1}, +1, true, SongPlace{0, 1}},
        {{3, 1}, +1, false, {}},
        {{2, 3}, -1, false, SongPlace{0, 1}},
        {{0, 2}, -1, true, SongPlace{3, 1}},
        {{0, 2}, -1, false, SongPlace{0, 1}},
        {{2, 3}, 0, false, SongPlace{2, 1}},
        {{1, 1}, 0, false, SongPlace{2, 1}},
        {{3, 1}, 0, false, SongPlace{3, 1}}};
    for (const Case& c : cases) {
        const auto to = c.direction == kNext ? nextPlace(song, playable, c.now, c.loop)
                                             : skipTo(song, playable, c.now, c.direction, c.loop);
        EXPECT_EQ(to, c.to) << c.now.entry << "." << c.now.pass << " " << c.direction << c.loop;
    }
    const std::vector<bool> none(5, false);
    for (int direction : {-1, 0, 1, kNext})
        EXPECT_EQ(direction == kNext ? nextPlace(song, none, {0, 1}, true)
                                     : skipTo(song, none, {0, 1}, direction, true),
                  std::nullopt);
    EXPECT_EQ((std::vector{firstPlayable(playable, 1), firstPlayable({false, true, false}, 2),
                           firstPlayable(playable, -3), firstPlayable(none, 0)}),
              (std::vector<std::optional<int>>{2, 1, 0, {}}));
}

} // namespace
} // namespace zumbal

#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zumbal {

// A song file is text: line 1 is the song's name and the header suffix,
// line 2 the version, then one line per entry: the passes, a tab, the bass
// key ("-" for the loop's own), a tab, and the preset's file name, its bytes
// as they are. Other tools write songs too, so the layout stays this plain.
//
// The tag at the end of a song file's first line, by which song files are
// recognised, as loop files are by kLoopFileTag.
inline constexpr std::string_view kSongFileTag = "(Zumbal song file format)";
inline constexpr std::string_view kSongHeaderSuffix =
    " song created by Zumbal (Zumbal song file format)";
// Readers of version 100 read any later version as this layout.
inline constexpr int kSongFileVersion = 100;
inline constexpr int kMinPasses = 1, kMaxPasses = 99;
// The song files are kept in this folder inside the loops folder.
inline constexpr std::string_view kSongsFolder = "songs";
// Songs bigger than this are refused unread (a huge or binary file named by mistake).
inline constexpr std::size_t kMaxSongFileBytes = 1 << 20;

struct SongEntry {
    int passes = 1;         // kMinPasses..kMaxPasses
    std::optional<int> key; // the bass key's semitone, 0 (C) .. 11 (B); none: the loop's own
    std::string preset;     // the preset's file name in the loops folder, bytes as they are
    friend bool operator==(const SongEntry&, const SongEntry&) = default;
};

struct Song {
    std::string name;
    std::vector<SongEntry> entries;
    friend bool operator==(const Song&, const Song&) = default;
};

// True when a first line ends in the whole tag.
bool hasSongFileTag(std::string_view firstLine);

// nullopt when the text is not a song file (line 1 without the tag); otherwise
// the name, line 1 before the header suffix (before the tag and the spaces
// ahead of it when another tool wrote other words there), and the entries
// that parse. A line that does not is skipped: missing fields,
// passes that are not a plain decimal number in 1..99 ("007" is 7, leading
// zeros being how column-aligning tools write numbers; "+7", " 7" and "0x7"
// are not plain), a key other than "-" and the twelve names (sharps, as
// keyName() spells them), or a name isPresetFileName() refuses.
std::optional<Song> parseSong(std::string_view text);

// Lines ended by "\n". Nothing is written that would read back otherwise:
// line breaks in the name become spaces, passes are taken into 1..99 and
// keys modulo 12, and an entry whose preset isPresetFileName() refuses is
// left out (a name with a line break in it would read as more entries).
std::string writeSong(const Song& song);

// "C", "C#", ... "B"; a semitone outside 0..11 names its key modulo 12.
std::string_view keyName(int semitone);
// The semitone a key's name stands for, as keyName() spells it; nullopt for any other text.
std::optional<int> keyOfName(std::string_view name);

// The FastSwitch letter that sets a key ('s' for C ... 'k' for B), modulo 12 as keyName().
char32_t fastSwitchLetter(int semitone);

// Whether `name` can be a preset's file name in the loops folder and a song
// can hold it: not empty, ".", or "..", and without '/', a NUL byte or a line
// break.
bool isPresetFileName(std::string_view name);

// The song files in a folder, ordered as the presets list orders loops
// (presetNameLess); only the first 4 KiB of each item read; folders and other
// files left out, and so are named pipes and devices, which are not opened.
std::vector<std::string> listSongFiles(const std::filesystem::path& songsFolder);

// Where the presets of the song file at `path` are when no loops folder is
// named: the folder that holds its "songs" folder, or the song's own folder
// when that is not one.
std::filesystem::path presetsFolderOf(const std::filesystem::path& path);

// Whether the item at `path` is a song file, by the tag on its first line;
// only a regular file is opened.
bool isSongFile(const std::filesystem::path& path);

// The song in the file at `path`; nothing, with the reason in `error`, when
// the item is not a regular file (a named pipe is not waited on), cannot be
// read, is bigger than kMaxSongFileBytes or is not a song file.
std::optional<Song> readSongFile(const std::filesystem::path& path, std::string& error);

} // namespace zumbal

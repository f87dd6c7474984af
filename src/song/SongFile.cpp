#include "song/SongFile.h"

#include "loops/LoopFile.h"
#include "loops/PresetList.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace zumbal {

namespace {

constexpr std::array<std::string_view, 12> kKeyNames{"C",  "C#", "D",  "D#", "E",  "F",
                                                     "F#", "G",  "G#", "A",  "A#", "B"};
// The letters of the FastSwitch keys, as fastSwitchTransposition() reads them.
constexpr std::array<char, 12> kKeyLetters{'s', 'e', 'd', 'r', 'f', 'g',
                                           'y', 'h', 'u', 'j', 'i', 'k'};
constexpr std::string_view kOwnKey = "-";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

int semitoneOf(int semitone) {
    return (semitone % 12 + 12) % 12;
}

// A plain decimal number: digits only, no sign or spaces. Runs longer than
// the range allows are refused before they could overflow.
std::optional<int> parsePasses(std::string_view field) {
    const size_t first = std::min(field.find_first_not_of('0'), field.size());
    if (field.empty() || field.size() - first > 2 ||
        field.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    int passes = 0;
    for (char c : field.substr(first))
        passes = passes * 10 + (c - '0');
    if (passes < kMinPasses || passes > kMaxPasses)
        return std::nullopt;
    return passes;
}

// One entry line: passes, tab, key, tab, name. The name is the rest of the
// line, tabs and all.
std::optional<SongEntry> parseEntry(std::string_view line) {
    const size_t keyStart = line.find('\t');
    if (keyStart == std::string_view::npos)
        return std::nullopt;
    const size_t nameStart = line.find('\t', keyStart + 1);
    if (nameStart == std::string_view::npos)
        return std::nullopt;
    const std::optional<int> passes = parsePasses(line.substr(0, keyStart));
    const std::string_view key = line.substr(keyStart + 1, nameStart - keyStart - 1);
    const std::optional<int> semitone = keyOfName(key);
    const std::string_view name = line.substr(nameStart + 1);
    if (!passes || (key != kOwnKey && !semitone) || !isPresetFileName(name))
        return std::nullopt;
    return SongEntry{*passes, semitone, std::string(name)};
}

// The name on line 1: what comes before the header suffix, or, in a file
// another tool wrote with its own words before the tag, before the tag.
std::string nameOf(std::string_view line) {
    // Byte order marks, which some editors put first, are not typed.
    while (line.starts_with(kUtf8Bom))
        line.remove_prefix(kUtf8Bom.size());
    if (line.ends_with(kSongHeaderSuffix))
        return std::string(line.substr(0, line.size() - kSongHeaderSuffix.size()));
    line.remove_suffix(kSongFileTag.size());
    line.remove_suffix(line.size() - std::min(line.find_last_not_of(' ') + 1, line.size()));
    return std::string(line);
}

} // namespace

bool hasSongFileTag(std::string_view line) {
    return line.ends_with(kSongFileTag);
}

std::optional<Song> parseSong(std::string_view text) {
    const std::vector<std::string_view> lines = splitLines(text);
    if (lines.empty() || !hasSongFileTag(lines[0]))
        return std::nullopt;
    Song song{nameOf(lines[0]), {}};
    // Line 2 is the version; every version so far has the same entry lines.
    for (size_t i = 2; i < lines.size(); ++i) {
        if (std::optional<SongEntry> entry = parseEntry(lines[i]))
            song.entries.push_back(std::move(*entry));
    }
    return song;
}

std::string writeSong(const Song& song) {
    std::string name = song.name;
    std::replace_if(
        name.begin(), name.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    std::string out = name;
    out.append(kSongHeaderSuffix).append("\n");
    out.append(std::to_string(kSongFileVersion)).append("\n");
    for (const SongEntry& entry : song.entries) {
        if (!isPresetFileName(entry.preset))
            continue;
        out.append(std::to_string(std::clamp(entry.passes, kMinPasses, kMaxPasses))).append("\t");
        out.append(entry.key ? keyName(*entry.key) : kOwnKey).append("\t");
        out.append(entry.preset).append("\n");
    }
    return out;
}

std::string_view keyName(int semitone) {
    return kKeyNames[semitoneOf(semitone)];
}

std::optional<int> keyOfName(std::string_view name) {
    const auto it = std::find(kKeyNames.begin(), kKeyNames.end(), name);
    if (it == kKeyNames.end())
        return std::nullopt;
    return static_cast<int>(it - kKeyNames.begin());
}

char32_t fastSwitchLetter(int semitone) {
    return static_cast<char32_t>(kKeyLetters[semitoneOf(semitone)]);
}

bool isPresetFileName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\n\r\0", 4)) == std::string_view::npos;
}

std::filesystem::path presetsFolderOf(const std::filesystem::path& path) {
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::absolute(path, error).parent_path();
    return folder.filename() == kSongsFolder ? folder.parent_path() : folder;
}

bool isSongFile(const std::filesystem::path& path) {
    return isTaggedFile(path, hasSongFileTag);
}

std::vector<std::string> listSongFiles(const std::filesystem::path& songsFolder) {
    return listTaggedFiles(songsFolder, hasSongFileTag);
}

std::optional<Song> readSongFile(const std::filesystem::path& path, std::string& error) {
    // Without O_NONBLOCK, opening a named pipe would wait for a writer.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (descriptor < 0) {
        error = std::strerror(errno);
        return std::nullopt;
    }
    struct stat status {};
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(descriptor);
        error = "it is not a regular file";
        return std::nullopt;
    }
    // One byte more than the limit is asked for, so that a file that grew
    // since fstat() is refused too rather than read cut short.
    std::string text;
    if (static_cast<std::size_t>(status.st_size) <= kMaxSongFileBytes) {
        text.resize(kMaxSongFileBytes + 1);
        size_t got = 0;
        while (got < text.size()) {
            const ssize_t n = ::read(descriptor, text.data() + got, text.size() - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                error = std::strerror(errno);
                ::close(descriptor);
                return std::nullopt;
            }
            if (n == 0)
                break;
            got += static_cast<size_t>(n);
        }
        text.resize(got);
    }
    ::close(descriptor);
    if (static_cast<std::size_t>(status.st_size) > kMaxSongFileBytes ||
        text.size() > kMaxSongFileBytes) {
        error = "it is too big for a song file";
        return std::nullopt;
    }
    std::optional<Song> song = parseSong(text);
    if (!song)
        error = "it is not a Zumbal song file";
    return song;
}

} // namespace zumbal

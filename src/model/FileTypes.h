#pragma once

#include <array>
#include <string_view>

namespace zumbal {

// A file type the program writes. On this platform a type is known by its
// extensions; the Macintosh type and creator codes are kept for reference.
struct FileType {
    std::string_view name;
    std::string_view extensions; // separated by ';', the first is the one written
    std::string_view macType;
    std::string_view macCreator;
};

inline constexpr FileType pAudioMid{"audio/mid", ".mid;.midi;.smf;.kar", "Midi", "TVOD"};

constexpr std::string_view primaryExtension(const FileType& type) {
    return type.extensions.substr(0, type.extensions.find(';'));
}

} // namespace zumbal

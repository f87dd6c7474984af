#include "playback/SoundFontLocator.h"

#include <filesystem>

namespace zumbal {

const std::vector<std::string>& debianSoundFonts() {
    static const std::vector<std::string> paths{
        "/usr/share/sounds/sf2/FluidR3_GM.sf2",
        "/usr/share/sounds/sf2/TimGM6mb.sf2",
        "/usr/share/sounds/sf2/default-GM.sf2",
    };
    return paths;
}

std::string findSoundFont(const std::string& option, const char* environment,
                          const std::vector<std::string>& candidates) {
    if (!option.empty())
        return option;
    if (environment && *environment)
        return environment;
    for (const std::string& path : candidates) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(path, ec))
            return path;
    }
    return {};
}

} // namespace zumbal

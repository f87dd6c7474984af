#pragma once

#include <string>
#include <vector>

namespace zumbal {

// The Debian General MIDI SoundFonts, best choice first.
const std::vector<std::string>& debianSoundFonts();

// The SoundFont to use: the --soundfont option, else the ZUMBAL_SOUNDFONT
// variable, else the first Debian SoundFont that exists. An option or variable
// that is given is used as it stands, so a wrong path is reported rather than
// silently replaced. Empty when there is none.
std::string findSoundFont(const std::string& option, const char* environment,
                          const std::vector<std::string>& candidates = debianSoundFonts());

} // namespace zumbal

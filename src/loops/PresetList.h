#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace zumbal {

// The names of the loop files in a folder, in the order the presets list
// shows them: by name, ignoring case, with runs of digits compared by their
// number. An item is listed when its first line ends in the loop file tag;
// folders, unreadable items and other files are left out. Only the first
// 4 KiB of an item are read, so a huge file cannot stall the list.
std::vector<std::string> listLoopFiles(const std::filesystem::path& folder);

// Orders names as the presets list does ("loop 2" before "Loop 10").
bool presetNameLess(const std::string& a, const std::string& b);

} // namespace zumbal

#pragma once

#include <filesystem>
#include <string>
#include <string_view>
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

// Whether the item at `path` is a regular file (or a link to one) whose
// first line, within its first 4 KiB, `tagged` accepts. Nothing else is
// opened: a named pipe would wait for a writer for ever.
bool isTaggedFile(const std::filesystem::path& path, bool (*tagged)(std::string_view firstLine));

// The names of the items in `folder` that isTaggedFile() accepts, ordered
// by presetNameLess.
std::vector<std::string> listTaggedFiles(const std::filesystem::path& folder,
                                         bool (*tagged)(std::string_view firstLine));

} // namespace zumbal

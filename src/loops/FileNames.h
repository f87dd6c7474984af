#pragma once

#include <QString>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zumbal {

// A file name on Linux is bytes, in no particular encoding; a loop copied
// from an older system may carry Latin-1 in its name. These two carry such a
// name through text (a presets row, a command line argument) and back
// unchanged: valid UTF-8 reads as itself, and every other byte becomes one
// of the unpaired surrogates U+DC80..U+DCFF, as Python's file names do.
// Qt's own decoding turns those bytes into U+FFFD and cannot give them back.
QString fileNameText(std::string_view bytes);
std::string fileNameBytes(const QString& text);

// No loop file comes near this (one is some 1 kB); reading no more keeps a
// wrong argument such as a device from being read for ever.
inline constexpr qint64 kMaxLoopFileBytes = 1 << 20;

// The first kMaxLoopFileBytes of the regular file (or link to one) at
// `path`, or nothing with the reason in `error`. Anything else, a named pipe
// or a device, is refused without waiting on it.
std::optional<std::string> readLoopBytes(const std::filesystem::path& path, QString& error);

} // namespace zumbal

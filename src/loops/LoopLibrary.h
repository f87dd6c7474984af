#pragma once

#include "loops/LoopFile.h"
#include "model/globali.h"

#include <QString>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zumbal {

// The loops folder as the editor uses it: the presets it lists, and the
// loop files read from it and saved into it. Names are the files' names as
// the file system holds them; the folder is the model's `drumloopsfolder`.
class LoopLibrary {
public:
    explicit LoopLibrary(const globali& g) : m_g(g) {}

    // The presets list's rows, in their order; empty without a folder.
    std::vector<std::string> presets() const;
    // The loop in file `name`; nothing, with the reason in `error`, when unreadable.
    std::optional<LoopRecord> read(const std::string& name, QString& error) const;
    // Writes `loop` as a new file `name`: an existing item of that name is
    // never replaced. Returns the reason of a failure, or an empty string.
    QString save(const std::string& name, const LoopRecord& loop) const;

private:
    const globali& m_g;
};

// The text of the loop file at `path`, wherever it is; nothing, with the
// reason in `error`, when the file is unreadable or its first line is not a
// loop file's.
std::optional<std::string> readLoopFileText(const std::filesystem::path& path, QString& error);

// The loop in the file at `path`, wherever it is; nothing, with the reason in
// `error`, when the file is unreadable or its first line is not a loop file's.
std::optional<LoopRecord> readLoopFile(const std::filesystem::path& path, QString& error);

} // namespace zumbal

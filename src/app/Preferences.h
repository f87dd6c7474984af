#pragma once

#include "model/globali.h"

#include <QString>

namespace zumbal {

// The one-line preferences file "zumbal preferences".
class Preferences {
public:
    explicit Preferences(QString path) : m_path(std::move(path)) {}

    // The file in the user's configuration folder.
    static QString defaultPath();

    // Fills prefe(0) with the file's first line; "1" (sounds on) when there is
    // no file, or when it cannot be read.
    void leggipref(globali& g);

    // Writes prefe(0) as the file's one line, replacing the old file only once
    // the new one is complete. A file that could not be read is left as it is
    // unless the preference was changed meanwhile, so it is never lost.
    bool write(const globali& g) const;

    const QString& path() const { return m_path; }

private:
    QString m_path;
    bool m_unreadable = false;
    std::string m_readValue;
};

} // namespace zumbal

#pragma once

#include <QByteArray>
#include <QString>

namespace zumbal {

// Every file the program writes goes through here: the bytes go to a
// temporary file in the target's folder, which replaces the target only once
// every byte has reached it. On failure the target is as it was, no
// temporary file is left, and the system's reason is returned; success
// returns an empty string.
QString replaceFile(const QString& path, const QByteArray& bytes);

// As replaceFile(), but for a file that must not exist yet: an item of that
// name that appears meanwhile (another instance saving into the same folder)
// is never replaced, and the reason is "File exists".
QString createFile(const QString& path, const QByteArray& bytes);

} // namespace zumbal

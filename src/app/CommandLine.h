#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace zumbal {

struct CommandLine {
    QString soundFont; // --soundfont FILE
    QString audio;     // --audio pulseaudio|alsa|jack|null; empty: try them in turn
    QString loops;     // --loops DIR
    int period = 0;    // --period FRAMES; 0: the synth's default
};

struct CommandLineResult {
    std::optional<CommandLine> options; // empty: exit with `exitCode`
    int exitCode = 0;
    QString message; // printed on stdout for 0 (help, version), stderr otherwise
};

CommandLineResult parseCommandLine(const QStringList& arguments);

} // namespace zumbal

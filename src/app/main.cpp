#include "app/App.h"
#include "app/CommandLine.h"
#include "app/QuitOnSignals.h"
#include "app/Subcommands.h"
#include "loops/FileNames.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char* argv[]) {
    // The command line is read before any window system is touched, so that
    // --help and the subcommands work without a display.
    // Read as file names are, so that a loop file named in another encoding
    // than UTF-8 opens under its own name.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << zumbal::fileNameText(argv[i]);
    const zumbal::CommandLineResult parsed = zumbal::parseCommandLine(arguments);
    if (parsed.subcommand)
        return zumbal::runSubcommand(*parsed.subcommand);
    if (!parsed.options) {
        std::fputs(qPrintable(parsed.message), parsed.exitCode == 0 ? stdout : stderr);
        if (parsed.exitCode != 0)
            std::fputs("\n", stderr);
        return parsed.exitCode;
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zumbal"));
    QApplication::setApplicationVersion(QStringLiteral(ZUMBAL_VERSION));
    // Names the installed menu entry, whose icon a Wayland desktop then shows.
    QApplication::setDesktopFileName(QStringLiteral("org.zumbal.Zumbal"));

    zumbal::App app(zumbal::settingsFrom(*parsed.options));
    const zumbal::QuitOnSignals quit([&app] { app.window().close(); });
    app.Event_Open();
    app.openMainWindow();
    app.startAudio();
    return QApplication::exec();
}

// Time from launch to the first stroke of the start-up loop, for each Debian
// SoundFont. Each figure is one fresh process going through the program's own
// start-up (application object, main window, SoundFont, audio output); the
// process start is read from the kernel, so loading the libraries counts too.
//
//   first_stroke [runs]
//
// The audio output is the silent one paced by the clock, so the stroke is
// rendered at the moment it is due; a sound device adds its buffer latency
// (two periods of 512 frames, 23 ms) on top.

#include "BenchSupport.h"
#include "app/App.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Seconds since boot at which this process started (field 22 of /proc/self/stat).
double processStart() {
    std::ifstream stat("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    for (int i = 3; i <= 22; ++i)
        fields >> field;
    return std::stod(field) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double sinceBoot() {
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9;
}

// One launch: prints the milliseconds from process start to the first stroke.
int measureOnce(int argc, char* argv[], const QString& soundFont) {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zumbal"));
    zumbal::AppSettings settings;
    settings.sound.soundFont = soundFont.toStdString();
    settings.sound.drivers = {"null"};
    settings.loopsFolder = QDir::temp().filePath(QStringLiteral("zumbal-bench-loops"));
    settings.preferencesFile = QDir::temp().filePath(QStringLiteral("zumbal-bench-preferences"));
    zumbal::App app(settings);
    app.Event_Open();
    app.openMainWindow();
    app.startAudio();
    while (app.sound().engine().strokesPlayed() == 0)
        QApplication::processEvents(QEventLoop::AllEvents, 1);
    std::printf("%.1f\n", (sinceBoot() - processStart()) * 1000.0);
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc == 3 && std::string(argv[1]) == "--once")
        return measureOnce(1, argv, QString::fromLocal8Bit(argv[2]));

    QCoreApplication core(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    std::printf("%-40s %10s %10s %10s   target: first stroke <= 500 ms after launch\n", "SoundFont",
                "median ms", "min ms", "max ms");
    for (const char* soundFont :
         {"/usr/share/sounds/sf2/FluidR3_GM.sf2", "/usr/share/sounds/sf2/TimGM6mb.sf2"}) {
        if (access(soundFont, R_OK) != 0)
            continue;
        std::vector<double> times;
        for (int i = 0; i < runs; ++i) {
            QProcess child;
            child.setProcessChannelMode(QProcess::SeparateChannels);
            child.start(QString::fromLocal8Bit(argv[0]),
                        {QStringLiteral("--once"), QString::fromLocal8Bit(soundFont)});
            child.waitForFinished(30000);
            times.push_back(child.readAllStandardOutput().trimmed().toDouble());
        }
        std::printf("%-40s %10.1f %10.1f %10.1f\n", soundFont, zumbal::bench::median(times),
                    *std::min_element(times.begin(), times.end()),
                    *std::max_element(times.begin(), times.end()));
    }
    return 0;
}

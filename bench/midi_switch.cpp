// How fast a Program Change on midi_in switches the loop, through the whole
// program (window, MIDI control, loader, engine) on its JACK client on a
// private dummy server: FastSwitch mode between two loops that strike
// different notes on every stroke, a second JACK client sending the Program
// Changes and recording midi_out. Immediate mode: the time from the message
// to the new loop's first note (target: one period plus one stroke at
// most). Bar-line mode: whether that first note is exactly on a stroke 1.
//
//   midi_switch [trials]   (default 12 per mode)

#include "BenchSupport.h"
#include "LiveJackApp.h"
#include "app/App.h"
#include "loops/LoopFile.h"
#include "support/DummyJack.h"
#include "support/JackMidiCapture.h"
#include "support/JackMidiSender.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cmath>
#include <cstdio>
#include <random>

namespace {

using namespace zumbal;

constexpr int kRate = 48000, kPeriod = 256, kNoteA = 60, kNoteB = 62;

void wait(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
}

} // namespace

int main(int argc, char* argv[]) {
    const int trials = argc > 1 ? std::max(1, std::atoi(argv[1])) : 12;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    jack_set_error_function([](const char*) {});
    test::DummyJack server(kRate, test::DummyJack::uniqueName(), kPeriod);
    if (!server.ready()) {
        std::fprintf(stderr, "midi_switch: cannot start a dummy JACK server\n");
        return 1;
    }
    test::LiveJackApp running(kNoteA, kNoteB);
    App& app = *running.app;
    wait(200);

    test::JackMidiSender sender;
    sender.connect("Zumbal:midi_in");
    test::JackMidiCapture capture(1, 200000);
    capture.connect("Zumbal:midi_out", 0);

    const double L = kRate * 15.0 / 120;
    std::mt19937 random(7);
    std::printf("Program Change on midi_in to the new loop's first note on midi_out, %d Hz, "
                "period %d frames (%.1f ms), one stroke %.1f ms\n\n",
                kRate, kPeriod, 1000.0 * kPeriod / kRate, 1000 * L / kRate);
    std::printf("mode       trials  min ms  median ms  max ms  target\n");
    for (const bool barLine : {false, true}) {
        LiveSettings live;
        live.switchAtBarLine = barLine;
        app.live().save(live);
        app.window().presetsMenu()->setCurrentIndex(0);
        std::vector<double> latencies;
        int onStrokeOne = 0, onItsFrame = 0;
        for (int trial = 0; trial < trials; ++trial) {
            wait(300 + static_cast<int>(random() % 900));
            const int note = trial % 2 == 0 ? kNoteB : kNoteA;
            sender.send({{0xC0, uint8_t(trial % 2 == 0 ? 1 : 0)}}); // B, then A again
            wait(barLine ? 2500 : 400);
            const int64_t sent = sender.sentAt();
            // The new loop's first note after the message, and the note before it.
            std::vector<test::CapturedMidi> ons;
            for (const test::CapturedMidi& e : capture.events())
                if ((e.bytes[0] & 0xF0) == 0x90 && e.bytes[2] > 0)
                    ons.push_back(e);
            for (size_t i = 1; i < ons.size(); ++i) {
                if (ons[i].frame < sent || (ons[i].bytes[1] != note && ons[i].bytes[1] != note + 1))
                    continue;
                latencies.push_back(1000.0 * double(ons[i].frame - sent) / kRate);
                onStrokeOne += ons[i].bytes[1] == note + 1;
                onItsFrame += ons[i].frame - ons[i - 1].frame == std::llround(L);
                break;
            }
        }
        const double limit = 1000.0 * (kPeriod + L) / kRate;
        const double worst =
            latencies.empty() ? 0 : *std::max_element(latencies.begin(), latencies.end());
        std::printf("%-9s  %6zu  %6.1f  %9.1f  %6.1f  ", barLine ? "bar line" : "immediate",
                    latencies.size(),
                    latencies.empty() ? 0 : *std::min_element(latencies.begin(), latencies.end()),
                    bench::median(latencies), worst);
        if (barLine)
            std::printf("first note is stroke 1: %d of %zu, one stroke after the last: %d\n",
                        onStrokeOne, latencies.size(), onItsFrame);
        else
            std::printf("<= %.1f ms: %s\n", limit,
                        !latencies.empty() && worst <= limit ? "yes" : "NO");
        std::fflush(stdout);
    }
    return 0;
}

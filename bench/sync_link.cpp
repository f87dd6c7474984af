// Zumbal's Link session against a second Link peer of the bench's own, on
// the loopback of a network namespace of the bench's own (root, or user
// namespaces), so that no other peer on the machine or the network joins.
// Zumbal's side runs as the engine will: a buffer every 10 ms, heard 20 ms
// after it is asked for, and a poll every tenth buffer. Figures: how long
// the other took to join; the beat difference between Zumbal's buffers and
// the other's beat at the same host times (worst and median, ms); the time
// for a tempo change to be heard, both ways; and whether a start lands on
// the session's next bar, Zumbal's own and the other's.
//
//   sync_link [--seconds S]   (default 10 s of beat comparison)

#include "BenchSupport.h"
#include "support/PrivateNetwork.h"
#include "sync/BasicLinkSession.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace zumbal {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int64_t kLatencyNs = 20'000'000;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Signed milliseconds from beat b to beat a, to the nearest bar of 4.
double apartMs(double a, double b, double bpm) {
    return std::remainder(a - b, 4.0) * 60000 / bpm;
}

class Bench {
public:
    struct Reading {
        sync::SourceBeat zumbal;
        double other; // the other's beat at the same host time
        bool otherPlaying;
    };

    Bench() { zumbal->setQuantum(4); }

    // One of Zumbal's buffers.
    Reading buffer(double ownQuarters = 0) {
        std::this_thread::sleep_for(10ms);
        if (++m_buffers % 10 == 0)
            zumbal->poll();
        const int64_t monotonic = m_clocks.monotonicNs(), link = m_clocks.linkNs();
        const auto state = other.captureAppSessionState();
        const auto heard = std::chrono::microseconds((link + kLatencyNs) / 1000);
        return {zumbal->at(monotonic + kLatencyNs, ownQuarters), state.beatAtTime(heard, 4),
                state.isPlaying()};
    }

    // Milliseconds of buffers until `done` holds; below 0 if not in 10 s.
    template <class Done> double until(Done done) {
        const auto start = Clock::now();
        while (!done(buffer()))
            if (msSince(start) > 10'000)
                return -1;
        return msSince(start);
    }

    void setOthersTempo(double bpm) {
        auto state = other.captureAppSessionState();
        state.setTempo(bpm, other.clock().micros());
        other.commitAppSessionState(state);
    }

    std::unique_ptr<sync::LinkSession> zumbal = sync::makeLinkSession(120);
    ableton::Link other{90};

private:
    sync::SystemClocks m_clocks;
    int m_buffers = 0;
};

std::string figure(const std::vector<double>& v) {
    if (v.empty())
        return "none";
    double worst = 0;
    for (double x : v)
        worst = std::max(worst, std::fabs(x));
    std::vector<double> magnitudes;
    for (double x : v)
        magnitudes.push_back(std::fabs(x));
    char text[96];
    std::snprintf(text, sizeof text, "median %.3f ms, worst %.3f ms (%zu)",
                  bench::median(magnitudes), worst, v.size());
    return text;
}

bool near(double a, double b) {
    return std::fabs(a - b) < 0.01;
}

void run(double seconds) {
    Bench b;
    b.zumbal->enable(true);
    b.buffer(0);
    // Link joins the older session when they were founded more than half a
    // second apart: the other joins Zumbal's.
    b.until([start = Clock::now()](const Bench::Reading&) { return msSince(start) > 600; });
    b.other.enable(true);
    const double joined = b.until([&](const Bench::Reading& r) {
        return b.zumbal->peers() == 1 && std::fabs(apartMs(r.zumbal.beat.quarters, r.other,
                                                           r.zumbal.beat.quartersPerMinute)) < 1;
    });
    if (joined < 0) {
        std::printf("sync_link: the other peer never joined on the loopback\n");
        return;
    }
    std::printf("the other peer joined Zumbal's session after %.0f ms\n", joined);

    std::vector<double> apart;
    for (const auto start = Clock::now(); msSince(start) < seconds * 1000;) {
        const Bench::Reading r = b.buffer();
        apart.push_back(apartMs(r.zumbal.beat.quarters, r.other, r.zumbal.beat.quartersPerMinute));
    }
    std::printf("beat difference, Zumbal's buffers against the other at the same host time: %s\n",
                figure(apart).c_str());

    std::vector<double> toZumbal, toOther;
    for (const double bpm : {133.0, 97.0, 174.5, 120.0}) {
        b.setOthersTempo(bpm);
        toZumbal.push_back(b.until(
            [&](const Bench::Reading& r) { return near(r.zumbal.beat.quartersPerMinute, bpm); }));
    }
    for (const double bpm : {101.0, 140.0, 120.0}) {
        b.zumbal->requestTempo(bpm);
        toOther.push_back(b.until([&](const Bench::Reading&) {
            return near(b.other.captureAppSessionState().tempo(), bpm);
        }));
    }
    std::printf("a tempo change from the other heard on Zumbal's buffers: %s\n",
                figure(toZumbal).c_str());
    std::printf("a tempo change from Zumbal heard by the other: %s\n", figure(toOther).c_str());

    b.zumbal->setStartStopSync(true);
    b.other.enableStartStopSync(true);
    int onNextBar = 0, sameBar = 0;
    std::vector<double> offBar, othersOffBar, late;
    constexpr int kStarts = 4;
    for (int i = 0; i < kStarts; ++i) {
        // Zumbal's Play: beat 0 on the first bar of the session after it.
        b.zumbal->requestPlaying(true);
        const Bench::Reading start = b.buffer();
        const double q = start.zumbal.beat.quarters, bpm = start.zumbal.beat.quartersPerMinute;
        onNextBar += start.zumbal.rolling && q <= 0 && q > -4;
        offBar.push_back(apartMs(start.other - q, 0, bpm));
        b.until([](const Bench::Reading& r) { return r.otherPlaying; });
        b.zumbal->requestPlaying(false);
        b.until([](const Bench::Reading& r) { return !r.otherPlaying && !r.zumbal.rolling; });
        // For a second after its own start or stop Link prefers it to a
        // peer's; a start from the other within it is heard after it.
        b.until([start = Clock::now()](const Bench::Reading&) { return msSince(start) > 1100; });
        // The other's Play on its next bar, which Zumbal's beat 0 should be
        // too; a start heard after that bar began loses the strokes before.
        auto state = b.other.captureAppSessionState();
        state.setIsPlayingAndRequestBeatAtTime(true, b.other.clock().micros(), 0, 4);
        b.other.commitAppSessionState(state);
        Bench::Reading first{};
        b.until([&](const Bench::Reading& r) { return (first = r).zumbal.rolling; });
        const double off = (first.zumbal.beat.quarters - first.other) * 60000 / bpm;
        sameBar += std::fabs(off) < 1;
        othersOffBar.push_back(off);
        if (first.zumbal.beat.quarters > 0)
            late.push_back(first.zumbal.beat.quarters * 60000 / bpm);
        state = b.other.captureAppSessionState();
        state.setIsPlaying(false, b.other.clock().micros());
        b.other.commitAppSessionState(state);
        b.until([](const Bench::Reading& r) { return !r.zumbal.rolling; });
    }
    std::printf("Zumbal's start on the session's next bar: %d of %d; off the other's bar: %s\n",
                onNextBar, kStarts, figure(offBar).c_str());
    std::printf("the other's start, Zumbal's beat 0 on the other's: %d of %d, off by %s; "
                "heard after that bar began: %s\n",
                sameBar, kStarts, figure(othersOffBar).c_str(), figure(late).c_str());
}

} // namespace
} // namespace zumbal

int main(int argc, char** argv) {
    double seconds = 10;
    if (argc == 3 && std::string(argv[1]) == "--seconds")
        seconds = std::atof(argv[2]);
    else if (argc != 1 || seconds <= 0) {
        std::fprintf(stderr, "usage: sync_link [--seconds S]\n");
        return 2;
    }
    if (!zumbal::test::enterPrivateNetwork() || !zumbal::test::setLoopbackUp(true)) {
        std::printf("sync_link: not run: no network namespace of its own with its loopback up "
                    "(needs root or user namespaces)\n");
        return 0;
    }
    zumbal::run(seconds);
    return 0;
}

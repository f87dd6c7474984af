#pragma once

// How a take's strokes fell against the ones its master asked for: each of
// the master's strokes, at its ideal frame, against the stroke played
// nearest it; and from an event (a start, a tempo step, a locate) on, how
// long until every stroke kept to its target.

#include "support/TimebaseMaster.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace zumbal::bench {

// A stroke that was not played, or played twice, and a lock that never came.
inline constexpr double kNever = std::numeric_limits<double>::infinity();

struct Judged {
    // For each ideal stroke, the played one's frame less its ideal frame;
    // kNever where none was played nearest it, or more than one was.
    std::vector<double> errors;
    // Played strokes that stand for no ideal one: a second nearest the same
    // one, or half a stroke or more outside the ideal ones.
    size_t extra = 0;
};

// `ideal` and `played` in frames, each sorted.
inline Judged judge(const std::vector<double>& ideal, const std::vector<int64_t>& played) {
    Judged out{std::vector<double>(ideal.size(), kNever), 0};
    if (ideal.empty()) {
        out.extra = played.size();
        return out;
    }
    std::vector<int> count(ideal.size(), 0);
    const double firstGap = ideal.size() > 1 ? ideal[1] - ideal[0] : kNever;
    const double lastGap = ideal.size() > 1 ? ideal.back() - ideal[ideal.size() - 2] : kNever;
    for (const int64_t stroke : played) {
        const auto frame = static_cast<double>(stroke);
        if (frame <= ideal.front() - firstGap / 2 || frame >= ideal.back() + lastGap / 2) {
            ++out.extra;
            continue;
        }
        auto i = static_cast<size_t>(std::lower_bound(ideal.begin(), ideal.end(), frame) -
                                     ideal.begin());
        if (i == ideal.size() || (i > 0 && frame - ideal[i - 1] < ideal[i] - frame))
            --i;
        if (++count[i] == 1)
            out.errors[i] = frame - ideal[i];
        else {
            out.errors[i] = kNever;
            ++out.extra;
        }
    }
    return out;
}

// |error| of every stroke due from `from` up to `to`; kNever for one not
// played or doubled.
inline std::vector<double> errorsIn(const std::vector<double>& ideal, const Judged& judged,
                                    double from, double to) {
    std::vector<double> out;
    for (size_t i = 0; i < ideal.size(); ++i)
        if (ideal[i] >= from && ideal[i] < to)
            out.push_back(std::fabs(judged.errors[i]));
    return out;
}

// The strokes due from `from` up to `to`.
struct Stretch {
    // The frame of the first stroke from which every one is within the
    // target, and how long after the first stroke due that is; kNever when
    // the last is not.
    double lockedAt = kNever, lockFrames = kNever;
    int missed = 0;             // strokes due before it: off, not played or doubled
    std::vector<double> errors; // |error| of the strokes from it on
};

inline Stretch stretch(const std::vector<double>& ideal, const Judged& judged, double from,
                       double to, double target) {
    const auto begin = std::lower_bound(ideal.begin(), ideal.end(), from) - ideal.begin();
    const auto end = std::lower_bound(ideal.begin(), ideal.end(), to) - ideal.begin();
    Stretch out;
    auto first = end;
    while (first > begin && std::fabs(judged.errors[static_cast<size_t>(first - 1)]) <= target)
        --first;
    out.missed = static_cast<int>(first - begin);
    if (first == end)
        return out;
    out.lockedAt = ideal[static_cast<size_t>(first)];
    out.lockFrames = out.lockedAt - ideal[static_cast<size_t>(begin)];
    for (auto i = first; i < end; ++i)
        out.errors.push_back(std::fabs(judged.errors[static_cast<size_t>(i)]));
    return out;
}

// A run of rolling cycles of `period` frames with no jump of the transport:
// server frames from..to, where the transport's frame is the server's plus
// `offset`. A locate, a stop or a lost cycle starts another.
struct Rolled {
    int64_t from, to, offset;
};
inline std::vector<Rolled> rolled(const std::vector<test::TimebaseMaster::Cycle>& cycles,
                                  int period) {
    std::vector<Rolled> out;
    for (const test::TimebaseMaster::Cycle& c : cycles) {
        if (!c.rolling)
            continue;
        const int64_t offset = c.transportFrame - c.serverFrame;
        if (!out.empty() && out.back().to == c.serverFrame && out.back().offset == offset)
            out.back().to += period;
        else
            out.push_back({c.serverFrame, c.serverFrame + period, offset});
    }
    return out;
}

// The strokes (4 a quarter) that the master's beat puts in those runs, on
// the server's frames.
inline std::vector<double> idealStrokes(const test::TempoChange& tempo,
                                        const std::vector<Rolled>& runs) {
    std::vector<double> out;
    for (const Rolled& r : runs) {
        const auto from = static_cast<double>(r.from + r.offset);
        const auto to = static_cast<double>(r.to + r.offset);
        for (auto k = static_cast<int64_t>(std::ceil(tempo.quartersAt(from) * 4 - 1e-9));
             tempo.frameAt(static_cast<double>(k) / 4) < to; ++k)
            out.push_back(tempo.frameAt(static_cast<double>(k) / 4) -
                          static_cast<double>(r.offset));
    }
    return out;
}

} // namespace zumbal::bench

#pragma once

// The benchmarks' figures over several takes, beside their targets.

#include "BenchSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace zumbal::bench {

// A figure of every take, printed as min, median and max beside its target:
// met when no take's figure is further from 0 than `bound` (NaN: a figure
// with no target, for context).
class Table {
public:
    explicit Table(std::string title) : m_title(std::move(title)) {}

    void add(const std::string& what, const char* unit, double value, double bound,
             const char* target) {
        auto row = std::find_if(m_rows.begin(), m_rows.end(),
                                [&](const Row& r) { return r.what == what; });
        if (row == m_rows.end())
            row = m_rows.insert(m_rows.end(), Row{what, unit, bound, target, {}});
        row->takes.push_back(value);
    }
    void note(const std::string& line) { m_notes.push_back(line); }

    void print() const {
        std::printf("\n%s\n", m_title.c_str());
        std::printf("  %-44s %9s %9s %9s  %-7s %-6s  %s\n", "", "min", "median", "max", "", "met",
                    "target");
        for (const Row& r : m_rows) {
            std::vector<double> v = r.takes;
            std::sort(v.begin(), v.end());
            const bool met = std::fabs(v.front()) <= r.bound && std::fabs(v.back()) <= r.bound;
            std::printf("  %-44s %9s %9s %9s  %-7s %-6s  %s\n", r.what.c_str(),
                        shown(v.front()).c_str(), shown(median(v)).c_str(), shown(v.back()).c_str(),
                        r.unit,
                        std::isnan(r.bound) ? "-"
                        : met               ? "yes"
                                            : "NO",
                        r.target);
        }
        for (const std::string& line : m_notes)
            std::printf("  %s\n", line.c_str());
        std::fflush(stdout);
    }

private:
    struct Row {
        std::string what;
        const char* unit;
        double bound;
        const char* target;
        std::vector<double> takes;
    };
    static std::string shown(double v) {
        if (std::isinf(v))
            return "never";
        char text[32];
        // A figure that rounds to 0 is shown without a sign.
        std::snprintf(text, sizeof text, "%.3f", std::fabs(v) < 0.0005 ? 0.0 : v);
        return text;
    }

    std::string m_title;
    std::vector<Row> m_rows;
    std::vector<std::string> m_notes;
};

enum class Take { Done, Xrun, Failed };

// Makes `n` good takes, taking again one cut into by a server xrun (up to
// twice as many times again, and 2 more); false when no take could be made.
template <class MakeTake> bool takes(Table& t, const char* what, int n, MakeTake&& make) {
    int done = 0, retaken = 0;
    for (int attempt = 0; done < n && attempt < 3 * n + 2; ++attempt) {
        const Take take = make(done);
        if (take == Take::Failed)
            return false;
        if (take == Take::Done)
            ++done;
        else
            ++retaken;
    }
    t.note(std::string(what) + ": " + std::to_string(done) + " takes, " + std::to_string(retaken) +
           " more cut into by a server xrun and taken again");
    return done > 0;
}

} // namespace zumbal::bench

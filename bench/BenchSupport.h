#pragma once

// Small pieces shared by the benchmark programs.

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace zumbal::bench {

inline double median(std::vector<double> v) {
    if (v.empty())
        return 0.0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

struct Options {
    std::string soundFont;
    double minutes = 0;
};

// "[--soundfont FILE] [--minutes M]"; nothing when the arguments are wrong.
inline std::optional<Options> parseOptions(int argc, char** argv, double defaultMinutes) {
    Options options{{}, defaultMinutes};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--soundfont" && i + 1 < argc)
            options.soundFont = argv[++i];
        else if (arg == "--minutes" && i + 1 < argc)
            options.minutes = std::atof(argv[++i]);
        else
            return std::nullopt;
    }
    if (options.minutes <= 0)
        return std::nullopt;
    return options;
}

} // namespace zumbal::bench

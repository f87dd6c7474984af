#include "loops/LoopFile.h"

#include "model/NumberText.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <optional>

namespace zumbal {

LoopLayout layoutOf(double version) {
    if (version < 120)
        return LoopLayout::Oldest;
    return version < 130 ? LoopLayout::NoVelocity : LoopLayout::Current;
}

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    }
    return lines;
}

std::string_view firstLine(std::string_view text) {
    return text.substr(0, text.find_first_of("\r\n"));
}

bool hasLoopFileTag(std::string_view line) {
    return line.size() >= kLoopFileTag.size() &&
           line.substr(line.size() - kLoopFileTag.size()) == kLoopFileTag;
}

namespace {

// Reads the lines in order; past the end every line is empty.
class LineReader {
public:
    explicit LineReader(std::string_view text) : m_lines(splitLines(text)) {}
    std::string_view next() { return m_next < m_lines.size() ? m_lines[m_next++] : ""; }
    int nextInt() { return leadingNumber(std::string(next())); }
    // The next line's number; nothing past the end or where it holds none.
    std::optional<int> nextNumber() {
        const std::string line(next());
        const size_t at = line.find_first_not_of(" \t+-");
        if (at == std::string::npos || !std::isdigit(static_cast<unsigned char>(line[at])))
            return std::nullopt;
        return leadingNumber(line);
    }

private:
    std::vector<std::string_view> m_lines;
    size_t m_next = 0;
};

// The version is compared as a number, fractions included: the plain
// decimal number at the start of the line, 0 when there is none.
double parseVersion(std::string_view line) {
    size_t end = line.find_first_not_of(" \t");
    if (end == std::string_view::npos)
        return 0.0;
    const size_t start = end;
    if (line[end] == '+' || line[end] == '-')
        ++end;
    const auto digits = [&] {
        while (end < line.size() && std::isdigit(static_cast<unsigned char>(line[end])))
            ++end;
    };
    digits();
    if (end < line.size() && line[end] == '.') {
        ++end;
        digits();
    }
    const std::string number(line.substr(start, end - start));
    const double value = std::strtod(number.c_str(), nullptr);
    return std::isfinite(value) ? value : 0.0;
}

} // namespace

LoopRecord parseLoop(std::string_view text) {
    LineReader lines(text);
    LoopRecord loop;
    lines.next();
    loop.version = parseVersion(lines.next());
    loop.layout = layoutOf(loop.version);
    const bool withBass = loop.layout != LoopLayout::Oldest;
    const int buttons = withBass ? kButtons : kButtons - 1;
    for (int i = 0; i < buttons; ++i)
        loop.pb[i] = lines.nextInt();
    const int cells = withBass ? kCells : kFirstBassCell;
    for (int i = 0; i < cells; ++i)
        loop.pp[i] = lines.nextInt();
    const int tracks = withBass ? kTracks : kDrumTracks;
    for (int t = 0; t < tracks; ++t) {
        loop.edfiv[t][0] = lines.nextInt();
        loop.edfiv[t][1] = lines.nextInt();
    }
    loop.tempo = lines.nextInt();
    if (loop.layout == LoopLayout::Current) {
        for (int i = 0; i < kCells; ++i)
            loop.volum[i] = lines.nextInt();
    }
    if (loop.version >= kGrooveFileVersion) {
        // A missing line or one without a number reads as 0, which the
        // ranges make straight.
        loop.swing = lines.nextInt();
        loop.humanizeMs = lines.nextInt();
        loop.humanizeVelocity = lines.nextInt();
        const Groove groove = grooveOf(loop);
        loop.swing = groove.swing;
        loop.humanizeMs = groove.humanizeMs;
        loop.humanizeVelocity = groove.humanizeVelocity;
    }
    if (loop.version >= kVariationFileVersion) {
        // Each block in turn; a line missing or without a number keeps the default.
        for (int StepVariation::*value : {&StepVariation::chance, &StepVariation::condition,
                                          &StepVariation::ratchet, &StepVariation::nudge})
            for (StepVariation& step : loop.steps)
                step.*value = lines.nextNumber().value_or(StepVariation{}.*value);
        for (StepVariation& step : loop.steps)
            step = inRange(step);
    }
    return loop;
}

Groove grooveOf(const LoopRecord& loop) {
    return {std::clamp(loop.swing, kStraight, kMaxSwing),
            std::clamp(loop.humanizeMs, 0, kMaxHumanizeMs),
            std::clamp(loop.humanizeVelocity, 0, kMaxHumanizeVelocity)};
}

bool hasGroove(const LoopRecord& loop) {
    const Groove groove = grooveOf(loop);
    return groove.swing != kStraight || groove.humanizeMs != 0 || groove.humanizeVelocity != 0;
}

bool hasVariations(const LoopRecord& loop) {
    for (int c = 0; c < kCells; ++c)
        if (isStep(c, loop.pp[c]) && !isPlain(loop.steps[c]))
            return true;
    return false;
}

std::string writeLoop(std::string_view name, const LoopRecord& loop) {
    const bool variations = hasVariations(loop);
    const bool groove = variations || hasGroove(loop);
    std::string out;
    out.reserve(kVariationFileLines * 5 + name.size() + kLoopHeaderSuffix.size());
    const auto line = [&out](int value) {
        out += std::to_string(value);
        out += '\n';
    };
    out.append(name).append(kLoopHeaderSuffix).append("\n");
    line(variations ? kVariationFileVersion : groove ? kGrooveFileVersion : kLoopFileVersion);
    for (int state : loop.pb)
        line(state);
    for (int code : loop.pp)
        line(code);
    for (const auto& pair : loop.edfiv) {
        line(pair[0]);
        line(pair[1]);
    }
    line(loop.tempo);
    for (int velocity : loop.volum)
        line(velocity);
    if (groove) {
        const Groove inRange = grooveOf(loop);
        line(inRange.swing);
        line(inRange.humanizeMs);
        line(inRange.humanizeVelocity);
    }
    if (variations) {
        std::array<StepVariation, kCells> steps{};
        for (int c = 0; c < kCells; ++c)
            if (isStep(c, loop.pp[c]))
                steps[c] = inRange(loop.steps[c]);
        for (int StepVariation::*value : {&StepVariation::chance, &StepVariation::condition,
                                          &StepVariation::ratchet, &StepVariation::nudge})
            for (const StepVariation& step : steps)
                line(step.*value);
    }
    return out;
}

} // namespace zumbal

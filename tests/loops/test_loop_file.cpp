#include "loops/LoopFile.h"
#include "loops/LoopModel.h"
#include "loops/PresetList.h"
#include "support/BarRuleTable.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <memory>

namespace zumbal {
namespace {

namespace fs = std::filesystem;

std::string readFixture(const std::string& name) {
    std::ifstream file(fs::path(ZUMBAL_LOOP_FIXTURES) / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

TEST(LoopFile, WritesTheCurrentLayoutAndReadsItBackWithAnyLineEnding) {
    LoopRecord loop;
    for (int i = 0; i < kCells; ++i) {
        loop.pp[i] = i - 5; // negative codes too
        loop.volum[i] = 127 - i;
        loop.pb[i % kButtons] = i;
        loop.edfiv[i % kTracks] = {i, -i};
    }
    loop.tempo = 97;
    const std::string text = writeLoop("My loop 2", loop);
    const std::vector<std::string_view> lines = splitLines(text);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), kLoopFileLines);
    EXPECT_EQ(lines[0], "My loop 2 drum loop created by Zumbal (Zumbal loop text file format)");
    // The version, the first stroke code and the tempo.
    EXPECT_EQ((std::vector{lines[1], lines[19], lines[145]}),
              (std::vector<std::string_view>{"130", "-5", "97"}));

    for (const char* ending : {"\n", "\r\n", "\r"}) {
        std::string converted;
        for (char c : text)
            converted += c == '\n' ? std::string(ending) : std::string(1, c);
        const LoopRecord back = parseLoop(converted);
        EXPECT_EQ(back.layout, LoopLayout::Current);
        EXPECT_TRUE(back.pb == loop.pb && back.pp == loop.pp && back.edfiv == loop.edfiv &&
                    back.tempo == loop.tempo && back.volum == loop.volum)
            << "line ending " << converted.size() - text.size();
    }
    EXPECT_EQ(splitLines("a\r\n\r\nb\rc\n"), (std::vector<std::string_view>{"a", "", "b", "c"}));
}

TEST(LoopFile, EachLayoutFromItsFixture) {
    // The layout, pb[13], pb[16], pp[18], pp[100], the bass sound, the tempo and volum[111].
    const std::vector<std::pair<const char*, std::vector<int>>> cases{
        {"old-119", {0, 11, 0, -1, 0, 0, 95, 0}},
        {"mid-120", {1, 11, 101, 1, 12, 34, 140, 0}}, // pp[100] is "12abc"
        {"new-130", {2, 12, 101, 1, 10, 39, 77, 111}}};
    for (const auto& [fixture, values] : cases) {
        const LoopRecord l = parseLoop(readFixture(fixture));
        const std::vector<int> read{int(l.layout), l.pb[13],      l.pb[16], l.pp[18],
                                    l.pp[100],     l.edfiv[6][0], l.tempo,  l.volum[111]};
        EXPECT_EQ(read, values) << fixture;
    }
}

TEST(LoopFile, VersionIsComparedAsANumberAndMissingValuesReadAsZero) {
    // Layouts: 0 the oldest, 1 without velocities, 2 the current one.
    const std::vector<std::pair<std::string, int>> cases{
        {"119", 0},   {"119.99", 0}, {"120", 1},  {"129.9", 1}, {"130", 2},
        {"140", 2},   {"400", 2},    {"abc", 0},  {"", 0},      {"130abc", 2},
        {"0x200", 0}, {"nan", 0},    {"-500", 0}, {"1e9", 0},   {" 125", 1}};
    for (const auto& [line, layout] : cases)
        EXPECT_EQ(int(parseLoop("name\n" + line + "\n").layout), layout) << line;

    const LoopRecord shortFile = parseLoop("x\n130\n101\n");
    EXPECT_EQ(shortFile.pb[0], 101);
    EXPECT_EQ(shortFile.pb[1] | shortFile.pp[0] | shortFile.tempo | shortFile.volum[50], 0);
    for (const std::string& text : {std::string(), std::string("\0\xff\n\x80", 4),
                                    std::string(5000, '\n'), "x\n" + std::string(100000, '9')}) {
        const LoopRecord loop = parseLoop(text);
        EXPECT_EQ(loop.pp[0] | loop.tempo, 0);
    }
    EXPECT_EQ(parseLoop("x\n130\n99999999999999999\n").pb[0], INT32_MAX);
}

// A straight loop is written as version 130, as it always was; a groove
// makes it version 140 with the three groove lines after the 258 of 130.
TEST(LoopFile, AGrooveAddsThreeLinesToAnUnchangedVersion130Layout) {
    std::string stored = readFixture("new-130");
    std::replace(stored.begin(), stored.end(), '\r', '\n');
    LoopRecord loop = parseLoop(stored);
    EXPECT_EQ(writeLoop("Different header name", loop), stored);

    const std::string straight = writeLoop("x", loop);
    loop.version = kGrooveFileVersion;
    loop.swing = 66;
    loop.humanizeMs = 4;
    loop.humanizeVelocity = 12;
    const std::string grooved = writeLoop("x", loop);
    const std::vector<std::string_view> lines = splitLines(grooved);
    ASSERT_EQ(lines.size(), size_t(kGrooveFileLines));
    EXPECT_EQ((std::vector{lines[1], lines[258], lines[259], lines[260]}),
              (std::vector<std::string_view>{"140", "66", "4", "12"}));
    EXPECT_EQ(parseLoop(grooved), loop);
    // A reader of version 130 reads the same 258 lines.
    std::string head = grooved.substr(0, straight.size());
    head.replace(head.find("\n140\n"), 5, "\n130\n");
    EXPECT_EQ(head, straight);
}

TEST(LoopFile, GrooveLinesAreReadLeniently) {
    LoopRecord loop;
    loop.tempo = 120;
    const std::string body =
        writeLoop("x", loop).substr(std::string_view("x").size() + kLoopHeaderSuffix.size() + 5);
    struct Case {
        std::string version, tail;
        std::array<int, 3> groove;
    };
    const std::vector<Case> cases{{"140", "66\n4\n12\n", {66, 4, 12}},
                                  {"140", "", {50, 0, 0}},
                                  {"140", "58", {58, 0, 0}},
                                  {"140", "abc\n7x\n\n", {50, 7, 0}},
                                  {"140", "99\n-3\n500\n", {75, 0, 20}},
                                  {"140", "10\n11\n21\n", {50, 10, 20}},
                                  {"140", "99999999999\n", {75, 0, 0}},
                                  {"150.5", "60\r\n1\r\n2", {60, 1, 2}},
                                  {"139.9", "60\n1\n2\n", {50, 0, 0}},
                                  {"130", "60\n1\n2\n", {50, 0, 0}}};
    for (const Case& c : cases) {
        const LoopRecord back = parseLoop("x\n" + c.version + "\n" + body + c.tail);
        EXPECT_EQ((std::array{back.swing, back.humanizeMs, back.humanizeVelocity}), c.groove)
            << c.version << " " << c.tail;
        EXPECT_EQ(back.tempo, 120);
    }
}

// Steps that vary make version 150: the 261 lines of 140, straight or not,
// then a block of a line per cell for each of the four values. What a cell
// without a step keeps is not written.
TEST(LoopFile, VariationsAddFourBlocksAfterTheGrooveLines) {
    std::string stored = readFixture("new-130");
    std::replace(stored.begin(), stored.end(), '\r', '\n');
    LoopRecord loop = parseLoop(stored);
    const std::string straight = writeLoop("x", loop);
    const int hit =
        static_cast<int>(std::find(loop.pp.begin(), loop.pp.end(), kHit) - loop.pp.begin());
    const int rest =
        static_cast<int>(std::find(loop.pp.begin(), loop.pp.end(), kRest) - loop.pp.begin());
    loop.steps[hit] = {60, cycleCondition(2, 4), 3, -5};
    loop.steps[rest] = {10, kFillOnly, 2, 1};
    const std::string varied = writeLoop("x", loop);
    const std::vector<std::string_view> lines = splitLines(varied);
    ASSERT_EQ(lines.size(), size_t(kVariationFileLines));
    EXPECT_EQ(
        (std::vector{lines[1], lines[258], lines[259], lines[260], lines[261 + hit],
                     lines[373 + hit], lines[485 + hit], lines[597 + hit], lines[261 + rest],
                     lines[373 + rest]}),
        (std::vector<std::string_view>{"150", "50", "0", "0", "60", "42", "3", "-5", "100", "0"}));
    loop.steps[rest] = {};
    loop.version = kVariationFileVersion;
    EXPECT_EQ(parseLoop(varied), loop);
    // A reader of version 130 reads the same 258 lines.
    std::string head = varied.substr(0, straight.size());
    head.replace(head.find("\n150\n"), 5, "\n130\n");
    EXPECT_EQ(head, straight);
}

TEST(LoopFile, VariationBlocksAreReadLeniently) {
    LoopRecord loop;
    loop.tempo = 120;
    const std::string body =
        writeLoop("x", loop).substr(std::string_view("x").size() + kLoopHeaderSuffix.size() + 5) +
        "50\n0\n0\n";
    const auto block = [](const std::string& first, const std::string& rest) {
        std::string text = first + "\n";
        for (int c = 1; c < kCells; ++c)
            text += rest + "\n";
        return text;
    };
    struct Case {
        std::string version, tail;
        StepVariation first, last;
    };
    const std::vector<Case> cases{
        {"150",
         block("40", "100") + block("31", "0") + block("4", "1") + block("-12", "0"),
         {40, 31, 4, -12},
         {}},
        {"150", "", {}, {}},
        {"150", "75\n", {75, 0, 1, 0}, {}},
        {"150",
         block("0", "500") + block("99", "12") + block("9", "0") + block("13", "x"),
         {1, 0, 4, 12},
         {100, 0, 1, 0}}, // out of range, unknown conditions (12 is 2:1)
        {"150",
         block("abc", "77") + block("", "88") + block("3", "2"),
         {100, 0, 3, 0},
         {77, 88, 2, 0}},
        {"149", block("40", "40"), {}, {}},
    };
    for (const Case& c : cases) {
        const LoopRecord back = parseLoop("x\n" + c.version + "\n" + body + c.tail);
        EXPECT_EQ(back.steps.front(), c.first) << c.version << " " << c.tail.substr(0, 20);
        EXPECT_EQ(back.steps.back(), c.last) << c.version << " " << c.tail.substr(0, 20);
        EXPECT_EQ(back.tempo, 120);
    }
}

// Loading turns off, on every row, the strokes the bar does not play.
TEST(LoopModel, NormalisingTurnsOffTheStrokesTheBarLeavesOut) {
    for (const test::BarCase& bar : test::kBarCases) {
        auto g = std::make_unique<globali>();
        g->ter_3_4 = bar.threeFour;
        g->ter_ter = bar.ternary;
        for (int c = 0; c < kFirstBassCell; ++c)
            g->pp[c] = kHit;
        normaliseCells(*g);
        for (int t = 0; t < kTracks; ++t) {
            std::vector<int> on;
            for (int s = 1; s <= kStrokes; ++s)
                if (g->pp[cellIndex(t, s)] != kDisabled)
                    on.push_back(s);
            EXPECT_EQ(on, bar.played) << bar.threeFour << bar.ternary << " track " << t;
        }
    }
}

TEST(PresetList, SortedByNameIgnoringCaseWithNumbersByValue) {
    std::vector<std::string> names{"loop 10", "Loop 2", "beta", "loop 003",
                                   "Alpha",   "loop 1", "Zed",  "loop 02"};
    std::sort(names.begin(), names.end(), presetNameLess);
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "beta", "loop 1", "Loop 2", "loop 02",
                                               "loop 003", "loop 10", "Zed"}));
}

// Only regular files whose first line ends with the whole tag are listed.
// Opening a named pipe for reading waits for a writer that never comes, and a
// socket cannot be opened at all: the list skips both.
TEST(PresetList, ListsRegularFilesWithTheWholeTagAtTheEndOfTheFirstLine) {
    const fs::path dir = fs::temp_directory_path() / ("zumbal-presets-" + std::to_string(getpid()));
    fs::create_directories(dir / "Folder loop");
    const std::string tag(kLoopFileTag);
    const std::vector<std::pair<std::string, std::string>> files{
        {"b loop", "b drum loop created by Zumbal " + tag + "\n130\n"},
        {"A loop", "other name " + tag + "\r\n130\r\n"},
        {"exact", tag},
        {"short", tag.substr(3) + "\n"},
        {"binary", std::string("\0\1\2\3", 4) + tag + std::string("\0\xff\xfe", 3)},
        {"huge", std::string(5000, 'x') + tag + "\n"},
        {"text.txt", "hello\n"},
        {"empty", ""},
        {"second line", "x\n" + tag},
        {"Fixture 130", readFixture("new-130")}};
    for (const auto& [name, text] : files)
        std::ofstream(dir / name, std::ios::binary) << text;
    const fs::path pipe = dir / "pipe", socketPath = dir / "socket";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
    ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    fs::create_symlink(pipe, dir / "link to pipe");

    auto listed = std::async(std::launch::async, [&] { return listLoopFiles(dir); });
    if (listed.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        // Give every stuck reader a writer that closes at once, so that the
        // test ends instead of hanging.
        while (listed.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
            const int writer = open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
            if (writer >= 0)
                close(writer);
        }
        fs::remove_all(dir);
        FAIL() << "the list waited on the named pipe";
    }
    EXPECT_EQ(listed.get(), (std::vector<std::string>{"A loop", "b loop", "exact", "Fixture 130"}));
    EXPECT_TRUE(listLoopFiles(dir / "missing").empty());
    close(sock);
    fs::remove_all(dir);
}

} // namespace
} // namespace zumbal

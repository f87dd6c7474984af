#include "loops/LoopFile.h"
#include "loops/PresetList.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace zumbal {
namespace {

namespace fs = std::filesystem;

std::string readFixture(const std::string& name) {
    std::ifstream file(fs::path(ZUMBAL_LOOP_FIXTURES) / name, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

LoopRecord sampleLoop() {
    LoopRecord loop;
    for (int i = 0; i < kButtons; ++i)
        loop.pb[i] = i % 3 == 0 ? kSwitchOn : kSwitchOff;
    loop.pb[kPlayButton] = 12;
    for (int c = 0; c < kCells; ++c) {
        loop.pp[c] = c < kFirstBassCell ? c % 4 : 10 + c % 30;
        loop.volum[c] = (c * 7) % 128;
    }
    loop.pp[5] = -1;
    for (int t = 0; t < kTracks; ++t)
        loop.edfiv[t] = {35 + t, 127 - t};
    loop.tempo = 97;
    return loop;
}

TEST(LoopFile, WritesTheCurrentLayoutAndReadsItBack) {
    const LoopRecord loop = sampleLoop();
    const std::string text = writeLoop("My loop 2", loop);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), kLoopFileLines);
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_EQ(firstLine(text),
              "My loop 2 drum loop created by Zumbal (Zumbal loop text file format)");
    EXPECT_EQ(splitLines(text)[1], "130");
    EXPECT_EQ(splitLines(text)[19], "0"); // line 20: the first stroke code
    EXPECT_EQ(splitLines(text)[145], "97");

    const LoopRecord back = parseLoop(text);
    EXPECT_EQ(back.layout, LoopLayout::Current);
    EXPECT_EQ(back.pb, loop.pb);
    EXPECT_EQ(back.pp, loop.pp);
    EXPECT_EQ(back.edfiv, loop.edfiv);
    EXPECT_EQ(back.tempo, loop.tempo);
    EXPECT_EQ(back.volum, loop.volum);
}

TEST(LoopFile, LineEndingsOfEverySystemReadAlike) {
    const std::string unix = writeLoop("x", sampleLoop());
    std::string windows, mac;
    for (char c : unix) {
        windows += c == '\n' ? std::string("\r\n") : std::string(1, c);
        mac += c == '\n' ? '\r' : c;
    }
    EXPECT_EQ(parseLoop(windows).pp, sampleLoop().pp);
    EXPECT_EQ(parseLoop(mac).volum, sampleLoop().volum);
    EXPECT_EQ(splitLines("a\r\n\r\nb\rc\n").size(), 4u);
    EXPECT_EQ(splitLines("a\r\n\r\nb\rc\n")[1], "");
}

TEST(LoopFile, EachLayoutFromItsFixture) {
    const LoopRecord old = parseLoop(readFixture("old-119"));
    EXPECT_EQ(old.layout, LoopLayout::Oldest);
    EXPECT_EQ(old.pb[14], 101);
    EXPECT_EQ(old.pb[16], 0); // not in this layout
    EXPECT_EQ(old.pp[17], 7);
    EXPECT_EQ(old.pp[18], -1);
    EXPECT_EQ(old.pp[96], 0);
    EXPECT_EQ(old.edfiv[5][0], 51);
    EXPECT_EQ(old.edfiv[6][0], 0);
    EXPECT_EQ(old.tempo, 95);

    const LoopRecord mid = parseLoop(readFixture("mid-120"));
    EXPECT_EQ(mid.layout, LoopLayout::NoVelocity);
    EXPECT_EQ(mid.pb[16], 101);
    EXPECT_EQ(mid.pp[96], 40);
    EXPECT_EQ(mid.pp[100], 12); // "12abc"
    EXPECT_EQ(mid.edfiv[6][0], 34);
    EXPECT_EQ(mid.tempo, 140);
    EXPECT_EQ(mid.volum[0], 0);

    const LoopRecord current = parseLoop(readFixture("new-130"));
    EXPECT_EQ(current.layout, LoopLayout::Current);
    EXPECT_EQ(current.pb[13], 12);
    EXPECT_EQ(current.pp[101], 45);
    EXPECT_EQ(current.tempo, 77);
    EXPECT_EQ(current.volum[111], 111);
}

TEST(LoopFile, VersionIsComparedAsANumber) {
    const std::vector<std::pair<std::string, LoopLayout>> cases{
        {"119", LoopLayout::Oldest},     {"119.99", LoopLayout::Oldest},
        {"120", LoopLayout::NoVelocity}, {"129.9", LoopLayout::NoVelocity},
        {"130", LoopLayout::Current},    {"400", LoopLayout::Current},
        {"abc", LoopLayout::Oldest},     {"", LoopLayout::Oldest},
        {"130abc", LoopLayout::Current}, {"0x200", LoopLayout::Oldest},
        {"nan", LoopLayout::Oldest},     {"-500", LoopLayout::Oldest},
        {"1e9", LoopLayout::Oldest},     {" 125", LoopLayout::NoVelocity},
    };
    for (const auto& [line, layout] : cases)
        EXPECT_EQ(parseLoop("name\n" + line + "\n").layout, layout) << line;
}

TEST(LoopFile, ShortAndMalformedFilesReadAsZero) {
    const LoopRecord shortFile = parseLoop("x\n130\n101\n");
    EXPECT_EQ(shortFile.pb[0], 101);
    EXPECT_EQ(shortFile.pb[1], 0);
    EXPECT_EQ(shortFile.pp[0], 0);
    EXPECT_EQ(shortFile.tempo, 0);
    EXPECT_EQ(shortFile.volum[50], 0);
    for (const std::string& text : {std::string(), std::string("\0\xff\n\x80", 4),
                                    std::string(5000, '\n'), "x\n" + std::string(100000, '9')}) {
        const LoopRecord loop = parseLoop(text);
        EXPECT_EQ(loop.pp[0], 0);
        EXPECT_EQ(loop.tempo, 0);
    }
    EXPECT_EQ(parseLoop("x\n130\n99999999999999999\n").pb[0], INT32_MAX);
}

TEST(LoopFileTag, OnlyTheWholeThirtyCharacterTagAtTheEnd) {
    const std::string tag(kLoopFileTag);
    ASSERT_EQ(tag.size(), 30u);
    EXPECT_TRUE(hasLoopFileTag(tag));
    EXPECT_TRUE(hasLoopFileTag("anything " + tag));
    EXPECT_FALSE(hasLoopFileTag(tag.substr(1)));
    EXPECT_FALSE(hasLoopFileTag(tag + " "));
    EXPECT_FALSE(hasLoopFileTag(""));
    EXPECT_TRUE(hasLoopFileTag(firstLine(tag + "\r\n130\n")));
}

TEST(PresetList, SortedByNameIgnoringCaseWithNumbersByValue) {
    std::vector<std::string> names{"loop 10", "Loop 2", "beta",   "Alpha",
                                   "loop 1",  "Zed",    "loop 02"};
    std::sort(names.begin(), names.end(), presetNameLess);
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "beta", "loop 1", "Loop 2", "loop 02",
                                               "loop 10", "Zed"}));
}

TEST(PresetList, ListsTaggedFilesOnly) {
    const fs::path dir = fs::temp_directory_path() / ("zumbal-presets-" + std::to_string(getpid()));
    fs::create_directories(dir / "Folder loop");
    const std::string tag(kLoopFileTag);
    const auto write = [&](const std::string& name, const std::string& text) {
        std::ofstream(dir / name, std::ios::binary) << text;
    };
    write("b loop", "b drum loop created by Zumbal " + tag + "\n130\n");
    write("A loop", "other name " + tag + "\r\n130\r\n");
    write("exact", tag);
    write("short", tag.substr(3) + "\n");
    write("binary", std::string("\0\1\2\3", 4) + tag + std::string("\0\xff\xfe", 3));
    write("huge", std::string(5000, 'x') + tag + "\n");
    write("text.txt", "hello\n");
    fs::copy_file(fs::path(ZUMBAL_LOOP_FIXTURES) / "new-130", dir / "Fixture 130");
    EXPECT_EQ(listLoopFiles(dir),
              (std::vector<std::string>{"A loop", "b loop", "exact", "Fixture 130"}));
    EXPECT_TRUE(listLoopFiles(dir / "missing").empty());
    fs::remove_all(dir);
}

} // namespace
} // namespace zumbal

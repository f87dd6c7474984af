#include "loops/FileNames.h"

#include <gtest/gtest.h>

namespace zumbal {
namespace {

// Every name comes back as the same bytes; UTF-8 shows as itself, and what
// is not UTF-8 shows escaped, one unpaired surrogate per byte.
TEST(FileNames, NamesInAnyEncodingComeBackByteForByte) {
    const std::vector<std::pair<std::string, QString>> cases{
        {"Funk Ghosts", "Funk Ghosts"},
        {"caf\xc3\xa9", QString::fromUtf8("caf\xc3\xa9")},
        {"caf\xe9", QStringLiteral("caf") + QChar(0xDCE9)}, // Latin-1
        {"\xff\xfe", QString::fromUtf16(u"\xDCFF\xDCFE")},
        {"a\xc3", QStringLiteral("a") + QChar(0xDCC3)},              // cut short
        {"\xc0\xaf", QString::fromUtf16(u"\xDCC0\xDCAF")},           // overlong "/"
        {"\xed\xa0\x80", QString::fromUtf16(u"\xDCED\xDCA0\xDC80")}, // a surrogate
        {"\xf0\x90\x82\x80", QString::fromUtf8("\xf0\x90\x82\x80")}, // U+10080: low half DC80
        {"\xf0\x9f\xa5\x81\xe9", QString::fromUtf8("\xf0\x9f\xa5\x81") + QChar(0xDCE9)},
        {"", ""},
    };
    for (const auto& [bytes, text] : cases) {
        SCOPED_TRACE(bytes);
        EXPECT_EQ(fileNameText(bytes), text);
        EXPECT_EQ(fileNameBytes(fileNameText(bytes)), bytes);
    }
}

TEST(FileNames, ReadsALoopByItsBytesAndSaysWhyNot) {
    QString error;
    EXPECT_FALSE(readLoopBytes("/nonexistent/caf\xe9", error));
    EXPECT_EQ(error, "No such file or directory");
    EXPECT_FALSE(readLoopBytes("/", error)); // a folder opens, but does not read
    EXPECT_FALSE(error.isEmpty());
}

} // namespace
} // namespace zumbal

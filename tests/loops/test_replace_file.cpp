#include "loops/ReplaceFile.h"
#include "support/FileSizeLimit.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace zumbal {
namespace {

using test::readFile;

// A write that cannot finish leaves the old file as it was and no temporary
// file behind, and says why; one that fits replaces the file.
TEST(ReplaceFile, OnlyACompleteWriteReplacesTheTarget) {
    struct Case {
        qsizetype size;
        bool fits;
    };
    for (const Case c : {Case{10, true}, {1000, true}, {1001, false}, {5'000'000, false}}) {
        SCOPED_TRACE(c.size);
        QTemporaryDir dir;
        const QString path = dir.filePath("loop");
        ASSERT_EQ(replaceFile(path, "the old loop\n"), "");
        const QByteArray bytes(c.size, 'x');
        QString error;
        {
            test::FileSizeLimit limit(1000);
            error = replaceFile(path, bytes);
        }
        EXPECT_EQ(error.isEmpty(), c.fits) << error.toStdString();
        EXPECT_EQ(readFile(path), c.fits ? bytes : QByteArray("the old loop\n"));
        EXPECT_EQ(error, c.fits ? "" : "File too large");
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"loop"});
    }
}

// A new file never takes the place of one that is there, whatever it is.
TEST(CreateFile, MakesANewFileButNeverReplacesAnItemOfThatName) {
    QTemporaryDir dir;
    ASSERT_EQ(replaceFile(dir.filePath("theirs"), "another instance's loop\n"), "");
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    for (const auto& [name, expected] : std::vector<std::pair<QString, QString>>{
             {"mine", ""}, {"theirs", "File exists"}, {"folder", "File exists"}})
        EXPECT_EQ(createFile(dir.filePath(name), "my loop\n"), expected) << name.toStdString();
    EXPECT_EQ(readFile(dir.filePath("mine")), "my loop\n");
    EXPECT_EQ(readFile(dir.filePath("theirs")), "another instance's loop\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{"folder", "mine", "theirs"}));
}

TEST(ReplaceFile, AMissingFolderIsReportedNotCreated) {
    QTemporaryDir dir;
    EXPECT_FALSE(replaceFile(dir.filePath("missing/loop"), "x").isEmpty());
    EXPECT_FALSE(QDir(dir.filePath("missing")).exists());
}

} // namespace
} // namespace zumbal

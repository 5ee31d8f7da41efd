// Files shipped beside the program: found in the build folder and in an installed tree.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QTemporaryDir>

#include "common/programfiles.h"

namespace kalmira {
namespace {

void touch(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

TEST(ProgramFiles, BesideTheProgramFirstThenTheInstalledShareFolder) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString bin = root.filePath(QStringLiteral("usr/bin"));
    QDir().mkpath(bin);
    // Neither: the place beside the program, for the message.
    EXPECT_EQ(FindProgramFile(QStringLiteral("readme.txt"), bin), bin + QStringLiteral("/readme.txt"));
    touch(root.filePath(QStringLiteral("usr/share/kalmira/readme.txt")));
    EXPECT_EQ(FindProgramFile(QStringLiteral("readme.txt"), bin), root.filePath(QStringLiteral("usr/share/kalmira/readme.txt")));
    touch(bin + QStringLiteral("/readme.txt"));
    EXPECT_EQ(FindProgramFile(QStringLiteral("readme.txt"), bin), bin + QStringLiteral("/readme.txt"));
}

}  // namespace
}  // namespace kalmira

// Telling one file under two names from two files, and what a path names without opening it.

#include "platform/FileIdentity.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fr {
namespace {

class FileIdentityTest : public testing::Test {
protected:
    QTemporaryDir dir;

    QString path(const QString& name) const { return dir.filePath(name); }
    void write(const QString& name, const QByteArray& content) const {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
};

TEST_F(FileIdentityTest, OneFileUnderEveryKindOfSecondNameIsTheSame) {
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("stick")));
    write(QStringLiteral("stick/photo.jpg"), "photo");
    write(QStringLiteral("stick/other.jpg"), "photo");
    ASSERT_EQ(::link(QFile::encodeName(path("stick/photo.jpg")).constData(),
                     QFile::encodeName(path("hard.jpg")).constData()),
              0);
    ASSERT_TRUE(QFile::link(path("stick/photo.jpg"), path("soft.jpg")));
    // A second drive letter over the same folder.
    ASSERT_TRUE(QFile::link(path("stick"), path("mirror")));

    const QString photo = path("stick/photo.jpg");
    EXPECT_TRUE(sameFile(photo, path("hard.jpg")));
    EXPECT_TRUE(sameFile(photo, path("soft.jpg")));
    EXPECT_TRUE(sameFile(photo, path("mirror/photo.jpg")));
    EXPECT_TRUE(sameFile(photo, path("stick/./photo.jpg")));
    EXPECT_FALSE(sameFile(photo, path("stick/other.jpg"))) << "equal content is not identity";
    EXPECT_FALSE(sameFile(photo, path("stick/new.jpg")));
    EXPECT_FALSE(sameFile(photo, QString()));

    // Neither exists yet: the folders decide.
    EXPECT_TRUE(sameFile(path("stick/new.jpg"), path("mirror/../stick/new.jpg")));
    EXPECT_TRUE(sameFile(path("stick/new.jpg"), path("mirror/new.jpg")));
    EXPECT_FALSE(sameFile(path("stick/new.jpg"), path("stick/New.jpg")));
    EXPECT_FALSE(sameFile(path("gone/a"), path("gone/b")));
}

TEST_F(FileIdentityTest, KindsAreToldWithoutOpeningAnything) {
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("folder")));
    write(QStringLiteral("file"), "x");
    // Opening a pipe for reading would wait here for a writer that never comes.
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("pipe")).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(path("file"), path("link")));
    ASSERT_TRUE(QFile::link(path("nowhere"), path("dangling")));

    EXPECT_EQ(kindOf(path("link")), FileKind::Regular);
    EXPECT_EQ(kindOf(path("dangling")), FileKind::Missing);
    EXPECT_EQ(kindOf(path("file/below")), FileKind::Missing);
    EXPECT_EQ(kindOf(QString()), FileKind::Missing);
    EXPECT_EQ(kindOf(path("folder")), FileKind::Directory);
    EXPECT_EQ(kindOf(path("pipe")), FileKind::Fifo);
    EXPECT_EQ(kindOf(QStringLiteral("/dev/zero")), FileKind::Device);
}

} // namespace
} // namespace fr

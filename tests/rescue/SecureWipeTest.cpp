// Secure deletion on real files: what each pass leaves on the file, the file's size, and the
// failures that must leave the file alone or be reported.

#include "rescue/SecureWipe.h"

#include "support/BindMount.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <vector>

namespace fr {
namespace {

QByteArray readFile(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// The block repeated from offset 0, the last repetition cut at `size`.
QByteArray repeated(const QByteArray& block, qsizetype size) {
    QByteArray whole;
    while (whole.size() < size)
        whole += block;
    whole.truncate(size);
    return whole;
}

class SecureWipeTest : public testing::TestWithParam<qsizetype> {
protected:
    QTemporaryDir folder;
    std::mt19937 random{7};
    QString path() const { return folder.filePath(QStringLiteral("secret.txt")); }
};

// Sizes: empty, one whole block and a cut one, and more than one write's run of blocks.
TEST_P(SecureWipeTest, EachPassRepeatsAFreshBlockOverTheWholeFileThenTheFileIsGone) {
    const qsizetype size = GetParam();
    writeFile(path(), QByteArray(size, 'S'));
    std::vector<QByteArray> blocks;
    const WipeOutcome outcome = wipeFile(path(), random, [&](int pass, const QByteArray& block) {
        EXPECT_EQ(pass, static_cast<int>(blocks.size()) + 1);
        EXPECT_EQ(block.size(), kWipeBlockSize);
        const QByteArray onDisk = readFile(path());
        ASSERT_EQ(onDisk.size(), size) << "the size never changes";
        EXPECT_TRUE(onDisk == repeated(block, size)) << "pass " << pass;
        blocks.push_back(block);
    });
    EXPECT_EQ(outcome.stage, WipeStage::Wiped) << outcome.reason.toStdString();
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_NE(blocks[0], blocks[1]);
    EXPECT_NE(blocks[1], blocks[2]);
    EXPECT_FALSE(QFileInfo::exists(path()));
}

INSTANTIATE_TEST_SUITE_P(Sizes, SecureWipeTest,
                         testing::Values(0, 5000, 2 * 4 * 1024 * 1024 + 4096 + 17));

class SecureWipeRefusalTest : public testing::Test {
protected:
    QTemporaryDir folder;
    std::mt19937 random{7};
    QString path() const { return folder.filePath(QStringLiteral("secret.txt")); }
    const QByteArray secret = QByteArray("keep me ").repeated(700);
};

// A read-only file (even for root, who could write it), a link put in the file's place, and
// a device: nothing is written anywhere.
TEST_F(SecureWipeRefusalTest, WhatMustNotBeOverwrittenIsReportedAndKept) {
    writeFile(path(), secret);
    ASSERT_TRUE(QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    const WipeOutcome readOnly = wipeFile(path(), random);
    EXPECT_EQ(readOnly.stage, WipeStage::NotOpened);
    EXPECT_FALSE(readOnly.reason.isEmpty());
    EXPECT_EQ(readFile(path()), secret);

    const QString link = folder.filePath(QStringLiteral("link.txt"));
    ASSERT_TRUE(QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    ASSERT_TRUE(QFile::link(path(), link));
    EXPECT_EQ(wipeFile(link, random).stage, WipeStage::NotOpened);
    EXPECT_EQ(readFile(path()), secret);
    EXPECT_TRUE(QFileInfo(link).isSymLink());

    EXPECT_EQ(wipeFile(QStringLiteral("/dev/null"), random).stage, WipeStage::NotOpened);
    EXPECT_TRUE(QFileInfo::exists(QStringLiteral("/dev/null")));
}

// A stop asked for during a pass takes effect after it: the file holds that pass whole and is
// not deleted.
TEST_F(SecureWipeRefusalTest, AStopEndsTheWipeBetweenPassesAndKeepsTheFile) {
    writeFile(path(), secret);
    bool stop = false;
    QByteArray lastBlock;
    const WipeOutcome outcome = wipeFile(
        path(), random,
        [&](int, const QByteArray& block) {
            lastBlock = block;
            stop = true;
        },
        [&] { return stop; });
    EXPECT_EQ(outcome.stage, WipeStage::Stopped);
    EXPECT_EQ(outcome.passesDone, 1);
    EXPECT_TRUE(readFile(path()) == repeated(lastBlock, secret.size()));
}

TEST_F(SecureWipeRefusalTest, AFailedDeletionIsReportedAfterTheContentsAreGone) {
    writeFile(path(), secret);
    test::BindMount pinned(path());
    if (!pinned.mounted())
        GTEST_SKIP() << "mounting a file over itself needs root";
    QByteArray lastBlock;
    const WipeOutcome outcome =
        wipeFile(path(), random, [&](int, const QByteArray& block) { lastBlock = block; });
    EXPECT_EQ(outcome.stage, WipeStage::DeletionFailed);
    EXPECT_EQ(outcome.error, EBUSY);
    EXPECT_FALSE(outcome.reason.isEmpty());
    EXPECT_TRUE(readFile(path()) == repeated(lastBlock, secret.size()));
}

} // namespace
} // namespace fr

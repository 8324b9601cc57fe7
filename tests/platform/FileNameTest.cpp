// Names of any bytes through the program's text: every byte comes back, valid UTF-8 reads as
// it always did, and drive form never swallows a backslash that is part of a name.

#include "platform/FileName.h"

#include "core/RecordText.h"
#include "platform/DriveMap.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace fr {
namespace {

TEST(FileNameTest, EveryByteSequenceComesBackAndValidUtf8ReadsAsItself) {
    const QByteArray names[] = {
        "plain.txt",
        "r\xc3\xa9sum\xc3\xa9 \xf0\x9f\x93\xb7.jpg", // valid UTF-8, one 4-byte character
        "caf\xe9.txt",                               // Latin-1
        "cut\xe2\x82",                               // a character cut short at the end
        "\xc0\xaf overlong",                         // an overlong "/"
        "\xed\xa0\x80 surrogate",                    // an encoded surrogate
        "\xf4\x90\x80\x80 beyond",                   // past U+10FFFF
        "\x80\xbf\xfe\xff",                          // stray continuations, never-valid bytes
        "we\\ird",
    };
    for (const QByteArray& bytes : names) {
        SCOPED_TRACE(bytes.toHex().toStdString());
        const QString text = fileNameFromBytes(bytes);
        EXPECT_EQ(fileNameBytes(text), bytes);
        // The journal's record holds the same bytes.
        EXPECT_EQ(RecordText::encode(text).mid(1, bytes.size()), bytes);
        EXPECT_EQ(RecordText::decode(RecordText::encode(text).constData()), text);
    }
    EXPECT_EQ(fileNameFromBytes(names[1]), QString::fromUtf8(names[1]));
    EXPECT_EQ(fileNameFromBytes("caf\xe9"), QStringLiteral("caf") + QChar(0xDCE9));
    // Two names that differ only in their invalid bytes stay two names.
    EXPECT_NE(fileNameFromBytes("a\xe9"), fileNameFromBytes("a\xe8"));
}

TEST(FileNameTest, ANativeNameWithABackslashHasNoDriveFormAndStaysNative) {
    const QTemporaryDir program;
    const DriveMap drives = DriveMap::build(program.path());
    ASSERT_TRUE(drives.drive('C'));
    EXPECT_EQ(drives.toDriveForm(QStringLiteral("/tmp/we/ird.bin")),
              QStringLiteral("C:\\tmp\\we\\ird.bin"));
    EXPECT_TRUE(drives.toDriveForm(QStringLiteral("/tmp/we\\ird.bin")).isEmpty());
    EXPECT_EQ(drives.letterOf(QStringLiteral("/tmp/we\\ird.bin")), QChar('C'));
    EXPECT_EQ(drives.toNative(QStringLiteral("/tmp/we\\ird.bin")),
              QStringLiteral("/tmp/we\\ird.bin"));
    EXPECT_EQ(drives.toNative(QStringLiteral("C:\\tmp\\we\\ird.bin")),
              QStringLiteral("/tmp/we/ird.bin"));
}

} // namespace
} // namespace fr

// The shipped language files: every text the program uses is there in every language, and
// the texts the program reads back to learn its state can be told apart.

#include "core/LanguageTable.h"
#include "support/TempProgramDir.h"

#include <QFile>
#include <QStringDecoder>
#include <gtest/gtest.h>
#include <set>

namespace fr {
namespace {

const std::set<int> kUnusedBelow225{13, 39, 40, 46,  50,  56,  57,  58,  59,  64, 78,
                                    93, 98, 99, 100, 105, 106, 107, 109, 170, 197};
// 237 to 239 were kept for the sector viewer, which needed no new text: they stay empty.
const std::set<int> kUnusedAbove224{237, 238, 239};
constexpr int kLastIndex = 276; // the strings added for this platform end here

class LanguageFileTest : public testing::TestWithParam<int> {
protected:
    QString path() const {
        return test::TempProgramDir::shippedDataDir() + '/' + LanguageTable::fileName(GetParam());
    }
    QByteArray content() const {
        QFile file(path());
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path().toStdString();
        return file.readAll();
    }
};

TEST_P(LanguageFileTest, IsUtf8WithCrLfLinesUpToTheLastIndex) {
    const QByteArray bytes = content();
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(bytes);
    EXPECT_FALSE(decoder.hasError()) << "not valid UTF-8";
    EXPECT_FALSE(bytes.startsWith("\xEF\xBB\xBF"))
        << "a byte-order mark would become part of string 0";
    EXPECT_TRUE(bytes.endsWith("\r\n"));
    EXPECT_EQ(bytes.count("\r\n"), kLastIndex + 1);
    EXPECT_EQ(bytes.count('\n'), kLastIndex + 1) << "every line ends with CR LF";
    EXPECT_EQ(bytes.count('\r'), kLastIndex + 1) << "no CR inside a line";
}

TEST_P(LanguageFileTest, HasEveryUsedTextAndNothingAtUnusedIndices) {
    LanguageTable table;
    ASSERT_EQ(table.load(path()), QString());
    for (int index = 0; index <= kLastIndex; ++index) {
        if (kUnusedBelow225.count(index) || kUnusedAbove224.count(index))
            EXPECT_TRUE(table[index].isEmpty()) << "index " << index << " is not used";
        else
            EXPECT_FALSE(table[index].trimmed().isEmpty()) << "index " << index << " is missing";
    }
}

TEST_P(LanguageFileTest, TextsReadBackAsStateDiffer) {
    LanguageTable table;
    ASSERT_EQ(table.load(path()), QString());
    // The pause button's caption tells running from paused.
    EXPECT_NE(table[37], table[47]);
    // The page title, upper-cased, tells the welcome, copy-files and whole-medium pages apart.
    EXPECT_NE(table[0].toUpper(), table[3].toUpper());
    EXPECT_NE(table[0].toUpper(), table[5].toUpper());
    EXPECT_NE(table[3].toUpper(), table[5].toUpper());
    // The journal reads an entry's status back from its status line after the 7-character
    // heading (string 68).
    EXPECT_EQ(table[68].size(), 7) << '"' << table[68].toStdString() << '"';
    EXPECT_NE(table[72], table[73]);
    // The medium-test dialog tells a running test by its caption.
    EXPECT_NE(table[126], table[125]);
    EXPECT_NE(table[126], table[128]);
    EXPECT_NE(table[126], table[51]);
}

TEST_P(LanguageFileTest, ChoicesOfOneListDiffer) {
    // The settings page stores the position of the item whose text matches, so two equal
    // items would store the wrong value.
    LanguageTable table;
    ASSERT_EQ(table.load(path()), QString());
    for (const std::vector<int>& list :
         {std::vector{17, 18, 19, 20}, std::vector{24, 25, 26}, std::vector{194, 195, 196},
          std::vector{21, 22, 23, 198, 199, 200}}) {
        std::set<QString> texts;
        for (int index : list)
            texts.insert(table[index]);
        EXPECT_EQ(texts.size(), list.size()) << "choices starting at index " << list.front();
    }
}

INSTANTIATE_TEST_SUITE_P(AllLanguages, LanguageFileTest, testing::Range(0, 6),
                         [](const testing::TestParamInfo<int>& info) {
                             return LanguageTable::fileName(info.param).mid(10).toStdString();
                         });

} // namespace
} // namespace fr

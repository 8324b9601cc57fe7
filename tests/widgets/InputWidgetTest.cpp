#include "widgets/CheckListBox.h"
#include "widgets/DriveComboBox.h"
#include "widgets/SpinEdit.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace fr {
namespace {

TEST(DriveComboBoxTest, ListsDrivesInUpperCaseAndSelectsByLetter) {
    DriveComboBox box;
    QSignalSpy changed(&box, &DriveComboBox::driveChanged);
    box.setDrives(
        {{'c', QString()}, {'D', QStringLiteral("Audio CD")}, {'e', QStringLiteral("stick")}});
    ASSERT_EQ(box.count(), 3);
    EXPECT_EQ(box.itemText(0), QStringLiteral("C:"));
    EXPECT_EQ(box.itemText(1), QStringLiteral("D: [AUDIO CD]"));
    EXPECT_EQ(box.itemText(2), QStringLiteral("E: [STICK]"));
    EXPECT_EQ(box.drive(), QChar('C'));
    EXPECT_FALSE(box.isEditable());

    box.setDrive('e');
    EXPECT_EQ(box.drive(), QChar('E'));
    EXPECT_EQ(box.currentText(), QStringLiteral("E: [STICK]"));
    box.setDrive('Q');
    EXPECT_EQ(box.drive(), QChar('E')) << "an unlisted letter leaves the selection";
    box.setDrive('E');

    // Listing again keeps the chosen drive while it is still there.
    box.setDrives({{'C', QString()}, {'E', QStringLiteral("STICK")}});
    EXPECT_EQ(box.drive(), QChar('E'));
    box.setDrives({{'C', QString()}});
    EXPECT_EQ(box.drive(), QChar('C'));
    box.setDrives({});
    EXPECT_EQ(box.drive(), QChar());

    const QList<QChar> expected{'C', 'E', 'C', QChar()};
    ASSERT_EQ(changed.count(), expected.size());
    for (int i = 0; i < expected.size(); ++i)
        EXPECT_EQ(changed.at(i).at(0).value<QChar>(), expected[i]) << i;
}

class SpinEditTest : public testing::Test {
protected:
    SpinEdit edit;
    QSignalSpy changed{&edit, &SpinEdit::changed};

    QString shown() const { return edit.findChild<QLineEdit*>()->text(); }
    void type(const QString& text) {
        edit.findChild<QLineEdit*>()->selectAll();
        QTest::keyClicks(&edit, text);
    }
};

TEST_F(SpinEditTest, RefusesASignAndKeepsValuesAboveTwoToTheThirtyFirst) {
    edit.setValue(1);
    type(QStringLiteral("-5"));
    EXPECT_EQ(shown(), QStringLiteral("5"));
    EXPECT_EQ(edit.value(), 5);

    type(QStringLiteral("3000000000"));
    EXPECT_EQ(edit.value(), 3000000000LL);
    edit.setValue(4294967295LL);
    EXPECT_EQ(edit.value(), 4294967295LL);
    edit.setValue(5000000000LL);
    EXPECT_EQ(edit.value(), 4294967295LL) << "held to the maximum";
    type(QStringLiteral("99999999999"));
    EXPECT_LE(edit.value(), 4294967295LL) << "digits past the maximum are refused";

    edit.setValue(-3);
    EXPECT_EQ(edit.value(), 0);
    edit.setMinimum(-10);
    EXPECT_EQ(edit.minimum(), 0);

    edit.setNoLimits();
    edit.setValue(std::numeric_limits<qint64>::max());
    edit.stepBy(5);
    EXPECT_EQ(edit.value(), std::numeric_limits<qint64>::max()) << "no wrap to negative";
    EXPECT_EQ(shown(), QString::number(std::numeric_limits<qint64>::max()));
}

TEST_F(SpinEditTest, ReportsEachChangeOnce) {
    edit.setValue(7);
    edit.setValue(7);
    ASSERT_EQ(changed.count(), 1);

    QTest::keyClick(&edit, Qt::Key_Up);
    EXPECT_EQ(edit.value(), 8);
    QTest::keyClick(&edit, Qt::Key_Down);
    QTest::keyClick(&edit, Qt::Key_Down);
    EXPECT_EQ(edit.value(), 6);
    EXPECT_EQ(changed.count(), 4);

    type(QStringLiteral("42"));
    EXPECT_EQ(edit.value(), 42);
    EXPECT_EQ(changed.count(), 6) << "4, then 42";
    EXPECT_EQ(changed.last().at(0).toLongLong(), 42);

    // Clearing the field is no change: the value shown last stays in force.
    type(QString());
    QTest::keyClick(&edit, Qt::Key_Backspace);
    EXPECT_EQ(edit.value(), 42);
    EXPECT_EQ(changed.count(), 6);

    edit.setValue(0);
    QTest::keyClick(&edit, Qt::Key_Down);
    EXPECT_EQ(edit.value(), 0);
    EXPECT_EQ(changed.count(), 7);
}

TEST(CheckListBoxTest, TicksRowsAndReportsOnlyRealChanges) {
    CheckListBox list;
    QSignalSpy ticks(&list, &CheckListBox::checkedChanged);
    list.addItem(QStringLiteral("Track 1"));
    list.addItem(QStringLiteral("Track 2"), true);
    list.addItem(QStringLiteral("Track 3"));
    EXPECT_EQ(list.checkedRows(), QList<int>{1});
    EXPECT_FALSE(list.isChecked(7));
    list.setChecked(7, true);

    list.checkAll();
    EXPECT_EQ(list.checkedRows(), (QList<int>{0, 1, 2}));
    ASSERT_EQ(ticks.count(), 2) << "row 1 was ticked already";
    EXPECT_EQ(ticks.at(0).at(0).toInt(), 0);
    EXPECT_EQ(ticks.at(1).at(0).toInt(), 2);
    list.item(0)->setText(QStringLiteral("Intro"));
    EXPECT_EQ(ticks.count(), 2);

    EXPECT_EQ(list.selectionMode(), QAbstractItemView::SingleSelection);
    list.clear();
    EXPECT_EQ(list.count(), 0);
}

} // namespace
} // namespace fr

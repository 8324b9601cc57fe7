// Every page of the main window, opened from every other page: which controls show, where,
// and with which texts. The reset between pages must put everything back.

#include "core/ProgramContext.h"
#include "platform/SingleInstance.h"
#include "support/DosDevices.h"
#include "support/ScriptedPlatform.h"
#include "support/ScriptedPrompts.h"
#include "support/TempProgramDir.h"
#include "support/WindowFixture.h"
#include "widgets/CheckListBox.h"
#include "widgets/ClickableLabel.h"
#include "widgets/DriveComboBox.h"
#include "widgets/FileDropTarget.h"
#include "widgets/FlatButton.h"
#include "widgets/LabeledEdit.h"
#include "widgets/PictureCheckBox.h"
#include "widgets/PieGauge.h"
#include "widgets/SpinEdit.h"
#include "window/Prisposob.h"
#include "window/TForm1.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <map>
#include <set>

namespace fr {
namespace {

using test::numberedLanguageFile;

// A control of a page: where it must be, or just shown when its place is the page's own.
struct Shown {
    int left = -1;
    int top = -1;
};

struct PageLayout {
    int command; // 1..10
    std::map<QString, Shown> controls;
};

// The page controls the dispatcher shows and hides.
const QStringList kPageControls{
    "Label2",        "Label3",        "Label4",        "Label5",         "Label6",
    "ComboBox1",     "ComboBox2",     "ComboBox3",     "DriveComboBox1", "FilterComboBox1",
    "SpeedButton12", "Edit1",         "Edit2",         "LabeledEdit1",   "LabeledEdit2",
    "Image3",        "Image4",        "CheckBox1",     "CheckBox2",      "CheckBox3",
    "CheckBox4",     "CheckBox5",     "checkbox6",     "Gauge1",         "CheckListBox1",
    "StringGrid1",   "SpinEdit1",     "SpeedButton13", "SpeedButton14",  "SpeedButton15",
    "SpeedButton16", "SpeedButton17", "SpeedButton20", "SpeedButton21",  "SpeedButton22",
    "SpeedButton23", "SpeedButton24", "SpeedButton25", "SpeedButton26",  "SpeedButton27",
    "SpeedButton28", "SpeedButton29", "SpeedButton30", "SpeedButton31",  "SpeedButton32",
    "SpeedButton33", "SpeedButton34", "SpeedButton35"};

const std::vector<PageLayout> kPages{
    {9,
     {{"Label2", {170, 110}},
      {"Label3", {170, 165}},
      {"ComboBox1", {168, 125}},
      {"ComboBox2", {168, 180}},
      {"CheckBox4", {168, 210}},
      {"CheckBox5", {168, 230}},
      {"SpeedButton12", {360, 250}},
      {"SpeedButton27", {340, 80}},
      {"SpeedButton34", {340, 100}},
      {"SpeedButton35", {340, 120}}}},
    // C:, chosen when the page opens, holds the running system: Label3 says why it is refused.
    {6, {{"DriveComboBox1", {168, 120}}, {"SpeedButton12", {320, 119}}, {"Label3", {}}}},
    {1,
     {{"Label2", {170, 105}},
      {"Label3", {170, 155}},
      {"Label4", {170, 300}},
      {"Label5", {170, 315}},
      {"Edit1", {168, 120}},
      {"Edit2", {168, 170}},
      {"Gauge1", {168, 280}},
      {"Image3", {400, 119}},
      {"Image4", {400, 169}},
      {"CheckBox1", {165, 208}},
      {"CheckBox2", {165, 224}},
      {"CheckBox3", {165, 240}},
      {"checkbox6", {165, 255}},
      {"SpeedButton13", {336, 200}},
      {"SpeedButton14", {336, 220}},
      {"SpeedButton15", {336, 240}}}},
    {2,
     {{"ComboBox1", {168, 100}},
      {"Edit1", {168, 140}},
      {"Image3", {325, 139}},
      {"Label5", {170, 125}},
      {"SpeedButton16", {}},
      {"SpeedButton17", {}},
      {"SpeedButton23", {}},
      {"Label4", {170, 255}},
      {"CheckListBox1", {168, 168}}}},
    {8,
     {{"Gauge1", {168, 280}},
      {"DriveComboBox1", {168, 120}},
      {"Label2", {170, 155}},
      {"Edit2", {168, 170}},
      {"SpeedButton13", {336, 200}},
      {"SpeedButton14", {336, 220}},
      {"SpeedButton15", {336, 240}},
      {"SpeedButton32", {320, 110}},
      {"SpeedButton33", {320, 135}},
      {"Label6", {170, 104}},
      {"CheckBox2", {165, 224}},
      {"checkbox6", {165, 239}},
      {"Image4", {400, 169}}}},
    {3,
     {{"DriveComboBox1", {168, 105}},
      {"Label2", {170, 160}},
      {"Edit2", {168, 175}},
      {"CheckBox1", {165, 208}},
      {"CheckBox2", {165, 224}},
      {"checkbox6", {165, 239}},
      {"SpeedButton13", {336, 200}},
      {"SpeedButton14", {336, 220}},
      {"SpeedButton15", {336, 240}},
      {"Gauge1", {168, 280}},
      {"Image4", {400, 169}},
      {"FilterComboBox1", {168, 135}}}},
    {7,
     {{"DriveComboBox1", {168, 110}},
      {"SpeedButton28", {}},
      {"SpeedButton29", {}},
      {"SpeedButton30", {}},
      {"SpeedButton31", {}},
      {"StringGrid1", {}},
      {"SpinEdit1", {}}}},
    {5,
     {{"CheckListBox1", {168, 168}},
      {"Label4", {170, 105}},
      {"Label5", {170, 120}},
      {"Edit1", {225, 140}},
      {"Label6", {170, 143}},
      {"SpeedButton24", {360, 280}},
      {"SpeedButton25", {264, 280}},
      {"SpeedButton26", {168, 280}}}},
    {10,
     {{"Label6", {170, 150}},
      {"Edit2", {168, 170}},
      {"SpeedButton12", {168, 210}},
      {"Image3", {400, 169}}}},
    {4,
     {{"SpeedButton20", {168, 280}},
      {"SpeedButton21", {264, 280}},
      {"SpeedButton22", {360, 280}},
      {"CheckListBox1", {168, 185}},
      {"LabeledEdit1", {230, 100}},
      {"LabeledEdit2", {230, 120}},
      {"Label2", {170, 145}},
      {"Label3", {170, 160}}}},
};

class PageDispatcherTest : public test::WindowFixture {
protected:
    void SetUp() override { createWindow(numberedLanguageFile(QStringLiteral("en "), 234)); }

    void open(int command) { form->SpeedButton9Click(form->commandButton(command)); }

    template <typename T> T* control(const QString& name) { return form->findChild<T*>(name); }
};

TEST_F(PageDispatcherTest, EveryPageShowsItsControlsWhereverItIsOpenedFrom) {
    for (const PageLayout& before : kPages) {
        for (const PageLayout& page : kPages) {
            open(before.command);
            open(page.command);
            const std::string where = "command " + std::to_string(page.command) + " after " +
                                      std::to_string(before.command);
            for (const QString& name : kPageControls) {
                auto* widget = control<QWidget>(name);
                ASSERT_NE(widget, nullptr) << name.toStdString();
                const auto expected = page.controls.find(name);
                EXPECT_EQ(widget->isVisibleTo(form), expected != page.controls.end())
                    << name.toStdString() << " on " << where;
                if (expected != page.controls.end() && expected->second.left >= 0) {
                    EXPECT_EQ(widget->pos(), QPoint(expected->second.left, expected->second.top))
                        << name.toStdString() << " on " << where;
                }
            }
        }
    }
}

TEST_F(PageDispatcherTest, ResetRestoresSizesWrappingHintsActionsAndTheDropTarget) {
    open(4); // the journal's labels run wide, unwrapped
    EXPECT_EQ(form->Label2->width(), 999);
    EXPECT_FALSE(form->Label3->wordWrap());
    open(1);
    EXPECT_EQ(form->Label3->width(), 206);
    EXPECT_TRUE(form->Label3->wordWrap());
    EXPECT_EQ(form->Image3->toolTip(), QStringLiteral("en 215"));
    EXPECT_EQ(form->SpeedButton15->toolTip(), QStringLiteral("en 48"));
    EXPECT_EQ(form->startButtonAction, PageAction::StartCopy);
    EXPECT_TRUE(form->DropFileTarget1->isEnabled());
    form->Edit1->setText(QStringLiteral("D:\\typed"));
    open(1);
    EXPECT_TRUE(form->Edit1->text().isEmpty()) << "the same command twice rebuilds the page";

    open(10); // secure deletion: a wide action button, the open chooser beside the file
    EXPECT_EQ(form->SpeedButton12->width(), 140);
    EXPECT_EQ(form->image3Action, PageAction::BrowseSource);
    open(3);
    EXPECT_EQ(form->SpeedButton12->width(), 115);
    EXPECT_EQ(form->Image3->toolTip(), QString());
    EXPECT_EQ(form->SpeedButton15->toolTip(), QStringLiteral("en 173"));
    EXPECT_FALSE(form->DropFileTarget1->isEnabled());
    EXPECT_EQ(form->startButtonAction, PageAction::StartWholeMedium);
    EXPECT_EQ(form->image4Action, PageAction::ChooseFolder);

    open(2);
    EXPECT_EQ(form->image3Action, PageAction::ChooseFolder);
    EXPECT_TRUE(form->checkListBoxPopup);
    EXPECT_EQ(form->Edit1->width(), 150);
    EXPECT_FALSE(form->SpeedButton17->isEnabled());
    open(5);
    EXPECT_FALSE(form->checkListBoxPopup);
    EXPECT_EQ(form->checkListBoxMouseDownAction, PageAction::None);
    EXPECT_EQ(form->speedButton26Action, PageAction::CheckMedium);
    EXPECT_EQ(form->CheckListBox1->height(), 110);
    EXPECT_EQ(form->Edit1->width(), 232);
    open(4);
    EXPECT_EQ(form->speedButton26Action, PageAction::Resume);
    EXPECT_EQ(form->CheckListBox1->height(), 90);
}

TEST_F(PageDispatcherTest, KeyboardGoesToThePagesFirstFieldAndNeverToAnOption) {
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    const std::pair<int, QWidget*> firstFields[] = {
        {3, form->DriveComboBox1}, {8, form->DriveComboBox1}, {1, form->Edit1},
        {10, form->Edit2},         {9, form->ComboBox1},      {4, form->LabeledEdit1}};
    for (const auto& [command, field] : firstFields) {
        open(1);
        form->Edit2->setFocus(); // the destination typed on the copy-files page
        open(command);
        const QWidget* focused = QApplication::focusWidget();
        EXPECT_EQ(focused ? focused->objectName() : QStringLiteral("nothing"), field->objectName())
            << "command " << command;
    }
}

TEST_F(PageDispatcherTest, PageTextsComeFromTheLanguageTable) {
    open(8);
    EXPECT_EQ(form->Label2->text(), QStringLiteral("en 54"));
    EXPECT_EQ(form->Label6->text(), QStringLiteral("en 144"));
    EXPECT_EQ(form->SaveDialog1.filter, QStringLiteral("en 55en 155"));
    EXPECT_TRUE(form->SpeedButton32->font().bold());
    EXPECT_FALSE(form->SpeedButton33->font().bold());
    EXPECT_EQ(form->startButtonAction, PageAction::StartImage);
    open(1);
    EXPECT_TRUE(form->SaveDialog1.filter.isEmpty());
    open(7);
    EXPECT_EQ(form->SpinEdit1->value(), 1);
    EXPECT_EQ(form->DriveComboBox1->drive(), QChar('C'));
    open(6);
    EXPECT_EQ(form->SpeedButton12->text(), QStringLiteral("en 28"));
    EXPECT_EQ(form->actionButtonAction, PageAction::Format);
    open(9);
    EXPECT_EQ(form->SpeedButton12->text(), QStringLiteral("en 27"));
    EXPECT_TRUE(form->SpeedButton27->font().bold()) << "the general tab opens first";
    EXPECT_EQ(form->ComboBox1->currentText(), QStringLiteral("en 194"));
    EXPECT_EQ(form->ComboBox2->currentText(), QStringLiteral("en 23"));
    open(4);
    EXPECT_EQ(form->Label2->text(), QStringLiteral("en 67"));
    EXPECT_EQ(form->Label3->text(), QStringLiteral("en 68"));
    EXPECT_FALSE(form->SpeedButton20->isEnabled());
}

TEST_F(PageDispatcherTest, TheOldFamilyIsRefusedTheSectorPagesAndNothingChanges) {
    open(1);
    platform.family = QStringLiteral("9x");
    for (const int refused : {8, 7}) {
        open(refused);
        ASSERT_FALSE(prompts.shown.empty());
        EXPECT_EQ(prompts.shown.back().text, QStringLiteral("en 180"));
        EXPECT_EQ(form->Label1->text(), QStringLiteral("En 3"));
        EXPECT_TRUE(form->Edit1->isVisibleTo(form));
        EXPECT_EQ(form->startButtonAction, PageAction::StartCopy);
    }
    open(5);
    EXPECT_EQ(form->Label1->text(), QStringLiteral("En 8")) << "the other pages open as usual";
}

TEST_F(PageDispatcherTest, CommandsAreDisabledAndEnabledAsAGroup) {
    open(1);
    form->znemozni();
    for (int number = 1; number <= 10; ++number)
        EXPECT_FALSE(form->commandButton(number)->isEnabled()) << number;
    EXPECT_TRUE(form->SpeedButton11->isEnabled()) << "help stays";
    EXPECT_TRUE(form->SpeedButton13->isEnabled()) << "the page's own buttons stay";
    EXPECT_TRUE(form->Image2->isEnabled());
    form->umozni();
    for (int number = 1; number <= 10; ++number)
        EXPECT_TRUE(form->commandButton(number)->isEnabled()) << number;
}

TEST_F(PageDispatcherTest, CopyMusicListsOnlyCdDrives) {
    test::DosDevices drives(dir.path());
    QFile::copy(dir.file(QStringLiteral("settings.ini")), dir.file(QStringLiteral("disc.iso")));
    QFile::copy(dir.file(QStringLiteral("settings.ini")), dir.file(QStringLiteral("stick.img")));
    drives.setDevice('R', dir.file(QStringLiteral("disc.iso")));
    drives.setDevice('E', dir.file(QStringLiteral("stick.img")));
    open(2);
    ASSERT_GE(form->ComboBox1->count(), 1);
    EXPECT_EQ(form->ComboBox1->itemText(0), QStringLiteral("R:\\"));
    EXPECT_EQ(form->ComboBox1->currentText(), QStringLiteral("R:\\"));
    for (int i = 0; i < form->ComboBox1->count(); ++i)
        EXPECT_NE(form->ComboBox1->itemText(i), QStringLiteral("E:\\"));
}

TEST(PageTitle, OnlyAPlainSmallLetterIsCapitalised) {
    EXPECT_EQ(pageTitleOf(QStringLiteral("kopíruj súbory")), QStringLiteral("Kopíruj súbory"));
    EXPECT_EQ(pageTitleOf(QStringLiteral("čítaj disk")), QStringLiteral("čítaj disk"));
    EXPECT_EQ(pageTitleOf(QStringLiteral("élan")), QStringLiteral("élan"));
    EXPECT_EQ(pageTitleOf(QStringLiteral("Copy files")), QStringLiteral("Copy files"));
    EXPECT_EQ(pageTitleOf(QString()), QString());
}

TEST(Prisposob, LongCaptionsGetTheSmallTahomaAndOnlyExactClassesAreFitted) {
    QWidget window;
    auto* label = new QLabel(&window);
    prisposob(label, 10, 7, 8, QStringLiteral("0123456789"));
    EXPECT_EQ(label->font().pixelSize(), pixelsOfPoints(8));
    EXPECT_EQ(label->font().family(), QStringLiteral("Arial"));
    prisposob(label, 10, 7, 8, QStringLiteral("0123456789A"));
    EXPECT_EQ(label->font().pixelSize(), pixelsOfPoints(7));
    EXPECT_EQ(label->font().family(), QStringLiteral("Tahoma"));

    auto* title = new QLabel(&window);
    title->setObjectName(QStringLiteral("Label1"));
    QFont face(QStringLiteral("Tahoma"));
    title->setFont(face);
    prisposob(title, 37, 10, 12, QStringLiteral("short"));
    EXPECT_EQ(title->font().family(), QStringLiteral("Tahoma")) << "the page title keeps its face";
    EXPECT_EQ(title->font().pixelSize(), pixelsOfPoints(12));

    auto* box = new PictureCheckBox(&window);
    prisposob(box, 20, 7, 8, QString(21, 'x'));
    EXPECT_EQ(box->font().pixelSize(), pixelsOfPoints(7));
    auto* edit = new QLineEdit(&window);
    const QFont before = edit->font();
    prisposob(edit, 1, 7, 8, QStringLiteral("too long"));
    EXPECT_EQ(edit->font(), before) << "edit boxes are not fitted";
}

} // namespace
} // namespace fr

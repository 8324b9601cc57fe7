// The help: the help button opens the language's help file, the help picture the topic of
// the page shown (the settings page by its open tab), and every shipped help file has every
// topic.

#include "window/HelpWindow.h"

#include "support/WindowFixture.h"
#include "widgets/ClickableLabel.h"
#include "widgets/FlatButton.h"
#include "window/SettingsPage.h"

#include <QLabel>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>

namespace fr {
namespace {

using test::numberedLanguageFile;

const QStringList kTopics = {"Introduction", "EditMenu",   "HelpMenu",    "UserInterface",
                             "FinishC",      "Damaged",    "Format",      "Edit",
                             "Image",        "Nastavenia", "Nastavenia2", "Nastavenia3"};

// Every anchor name the document holds.
QStringList anchorsOf(const QTextDocument& document) {
    QStringList names;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment)
            names += fragment.fragment().charFormat().anchorNames();
    return names;
}

class HelpTest : public test::WindowFixture {
protected:
    void SetUp() override { createWindow(numberedLanguageFile(QStringLiteral("en "), 237)); }

    // The topics the help picture asks for on the page shown.
    QStringList contextTopics() {
        QSignalSpy asked(form, &TForm1::helpRequested);
        QTest::mouseClick(form->Image5, Qt::LeftButton);
        QStringList topics;
        for (const QList<QVariant>& request : asked) {
            EXPECT_EQ(request[0].toString(), dir.file(QStringLiteral("help/2.hlp")));
            topics << request[1].toString();
        }
        return topics;
    }
};

TEST_F(HelpTest, HelpPictureOpensThePagesTopic) {
    EXPECT_EQ(contextTopics(), QStringList{"Introduction"}) << "the welcome page";
    const std::initializer_list<std::pair<FlatButton*, const char*>> pages = {
        {form->SpeedButton1, "EditMenu"},      {form->SpeedButton2, "HelpMenu"},
        {form->SpeedButton3, "UserInterface"}, {form->SpeedButton4, "FinishC"},
        {form->SpeedButton5, "Damaged"},       {form->SpeedButton6, "Format"},
        {form->SpeedButton7, "Edit"},          {form->SpeedButton8, "Image"}};
    for (const auto& [command, topic] : pages) {
        form->SpeedButton9Click(command);
        // The title is the caption with a capital first letter: compared ignoring case.
        ASSERT_NE(form->Label1->text(), command->text());
        EXPECT_EQ(contextTopics(), QStringList{QLatin1String(topic)}) << topic;
    }
    form->SpeedButton9Click(form->SpeedButton10);
    EXPECT_EQ(contextTopics(), QStringList()) << "secure deletion has no topic of its own";

    form->SpeedButton9Click(form->SpeedButton9);
    SettingsPage& settings = *window->settingsPage();
    EXPECT_EQ(contextTopics(), QStringList{"Nastavenia"});
    settings.SpeedButton34Click();
    EXPECT_EQ(contextTopics(), QStringList{"Nastavenia2"});
    settings.SpeedButton35Click();
    EXPECT_EQ(contextTopics(), QStringList{"Nastavenia3"});
}

TEST_F(HelpTest, EqualCaptionsGiveEveryMatchingTopic) {
    QByteArray language = numberedLanguageFile(QStringLiteral("en "), 237);
    language.replace("en 4\r\n", "EN 3\r\n"); // copy music captioned like copy files
    dir.write(QStringLiteral("lang/lang.eng"), language);
    form->reapplySettings();
    form->SpeedButton9Click(form->SpeedButton2);
    EXPECT_EQ(contextTopics(), (QStringList{"EditMenu", "HelpMenu"}));
}

TEST_F(HelpTest, HelpButtonOpensTheLanguagesFileInTheHelpWindow) {
    context.settings.language = 4;
    dir.write(QStringLiteral("lang/lang.ger"), numberedLanguageFile(QStringLiteral("de "), 237));
    form->reapplySettings();
    QTest::mouseClick(form->SpeedButton11, Qt::LeftButton);
    HelpWindow& help = *window->helpWindow();
    EXPECT_TRUE(help.isVisible());
    EXPECT_EQ(help.error(), QString());
    EXPECT_EQ(help.browser()->source().toLocalFile(), dir.file(QStringLiteral("help/4.hlp")));
    // The system adds the program's name: the title itself says only "Help".
    EXPECT_EQ(help.windowTitle(), QStringLiteral("de 12"));
    EXPECT_TRUE(platform.filesRun.empty()) << "no other program is asked to show it";

    // Where the user puts it, it stays for the session.
    help.move(help.pos() + QPoint(13, 7));
    const QPoint put = help.pos();
    help.close();
    QTest::mouseClick(form->SpeedButton11, Qt::LeftButton);
    EXPECT_EQ(help.pos(), put);
}

TEST(HelpPlacement, BesideTheMainWindowWhereThereIsRoomElseCentredOnIt) {
    const QRect screen(0, 0, 1920, 1040);
    const QSize help(640, 520);
    // Room on the right, the tops level.
    EXPECT_EQ(helpPlacement(QRect(100, 200, 500, 330), help, screen), QPoint(608, 200));
    // None on the right: on the left.
    EXPECT_EQ(helpPlacement(QRect(1300, 200, 500, 330), help, screen), QPoint(652, 200));
    // A main window low on the screen: the help rises to fit.
    EXPECT_EQ(helpPlacement(QRect(100, 900, 500, 330), help, screen), QPoint(608, 520));
    // A small screen: centred on the main window, within the screen.
    const QRect small(0, 0, 1024, 768);
    EXPECT_EQ(helpPlacement(QRect(262, 219, 500, 330), help, small), QPoint(191, 123));
    EXPECT_EQ(helpPlacement(QRect(0, 0, 500, 330), help, small), QPoint(0, 0));
}

TEST_F(HelpTest, AMissingHelpFileIsShownWithItsNameAndReason) {
    dir.remove(QStringLiteral("help/2.hlp"));
    QTest::mouseClick(form->SpeedButton11, Qt::LeftButton);
    const HelpWindow& help = *window->helpWindow();
    EXPECT_TRUE(help.error().startsWith(dir.file(QStringLiteral("help/2.hlp"))));
    EXPECT_TRUE(help.browser()->toPlainText().contains(QStringLiteral("help/2.hlp")));
    EXPECT_TRUE(prompts.shown.empty());
}

TEST(HelpFiles, EveryLanguageHasEveryTopicAndTheViewerMovesToIt) {
    HelpWindow help;
    for (int language = 0; language < 6; ++language) {
        const QString file =
            test::TempProgramDir::shippedDataDir() + QStringLiteral("/help/%1.hlp").arg(language);
        help.showHelp(file, QStringLiteral("Introduction"));
        ASSERT_EQ(help.error(), QString()) << file.toStdString();
        const QStringList anchors = anchorsOf(*help.browser()->document());
        for (const QString& topic : kTopics)
            EXPECT_TRUE(anchors.contains(topic))
                << file.toStdString() << ": " << topic.toStdString();
        EXPECT_GT(help.browser()->toPlainText().size(), 3000) << "real content, not headings";

        const QScrollBar& scroll = *help.browser()->verticalScrollBar();
        const int atStart = scroll.value();
        help.showHelp(file, QStringLiteral("Nastavenia3"));
        EXPECT_GT(scroll.value(), atStart) << "the last topic lies further down";
        help.showHelp(file, QString());
        EXPECT_EQ(scroll.value(), 0);
    }
}

} // namespace
} // namespace fr

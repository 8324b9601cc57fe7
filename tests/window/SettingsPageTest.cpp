// The settings page: three tabs over shared controls, harvested in a fixed cycle on save.

#include "window/SettingsPage.h"

#include "core/SettingsFile.h"
#include "platform/XdgAutostart.h"
#include "support/WindowFixture.h"
#include "widgets/FlatButton.h"
#include "widgets/PictureCheckBox.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

namespace fr {
namespace {

using test::numberedLanguageFile;

class SettingsPageTest : public test::WindowFixture {
protected:
    void SetUp() override {
        dir.write(QStringLiteral("lang/lang.cze"),
                  numberedLanguageFile(QStringLiteral("cz "), 234));
        createWindow(numberedLanguageFile(QStringLiteral("en "), 234));
        form->SpeedButton9Click(form->SpeedButton9);
    }
    SettingsPage& page() { return *window->settingsPage(); }
    Settings saved() {
        Settings settings;
        EXPECT_EQ(SettingsFile::read(dir.file(QStringLiteral("settings.ini")), settings),
                  QString());
        return settings;
    }
};

TEST_F(SettingsPageTest, SavingFromTheMp3TabWithVariableRateOffKeepsTheMaximum) {
    context.settings.mp3MaxBitrate = 1;
    page().SpeedButton35Click();
    EXPECT_FALSE(form->ComboBox2->isEnabled()) << "the maximum only matters with variable rate";
    form->ComboBox1->setCurrentIndex(4); // 256 kbps
    form->ComboBox3->setCurrentIndex(0); // 22050 Hz
    QTest::mouseClick(form->CheckBox4, Qt::LeftButton);
    EXPECT_TRUE(form->ComboBox2->isEnabled());
    form->ComboBox2->setCurrentIndex(3);
    QTest::mouseClick(form->CheckBox4, Qt::LeftButton);
    EXPECT_FALSE(form->ComboBox2->isEnabled());

    page().Nastavenia();
    const Settings settings = saved();
    EXPECT_EQ(settings.mp3Bitrate, 4);
    EXPECT_EQ(settings.mp3SampleRate, 0);
    EXPECT_EQ(settings.mp3Vbr, 0);
    EXPECT_EQ(settings.mp3MaxBitrate, 3) << "taken from the box as it stood";
    EXPECT_EQ(context.encoderOptions.bitrate, 256);
    EXPECT_FALSE(context.encoderOptions.vbr);
    EXPECT_EQ(texts(), std::vector<QString>{"en 169"});
    EXPECT_TRUE(page().isMarked(SettingsPage::Tab::General));
    EXPECT_FALSE(form->SpeedButton12->isVisibleTo(form));
    EXPECT_EQ(form->Label2->text(), QStringLiteral("en 1")) << "back on the welcome page";

    QFile file(dir.file(QStringLiteral("settings.ini")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().count("\r\n"), 11);
}

TEST_F(SettingsPageTest, GeneralTabValuesSurviveASwitchToAnotherTab) {
    QTest::mouseClick(form->CheckBox4, Qt::LeftButton); // media manager with the session
    form->ComboBox2->setCurrentIndex(1);                // Czech
    page().SpeedButton34Click();
    form->ComboBox1->setCurrentIndex(3); // random fill blocks
    page().Nastavenia();
    const Settings settings = saved();
    EXPECT_EQ(settings.autostartManager, 1);
    EXPECT_EQ(settings.language, 1);
    EXPECT_EQ(settings.fillMode, 3);
    ASSERT_FALSE(platform.autostarts.empty());
    EXPECT_EQ(platform.autostarts.back(),
              std::make_pair(dir.file(QStringLiteral("mmanager.exe")), true));
    EXPECT_EQ(form->Label1->text(), QStringLiteral("cz 0")) << "the new language shows at once";
    EXPECT_EQ(form->SpeedButton1->text(), QStringLiteral("cz 3"));
}

TEST_F(SettingsPageTest, TextThatIsNoItemIsNotStored) {
    form->ComboBox1->setEditText(QStringLiteral("purple"));
    page().Nastavenia();
    EXPECT_EQ(saved().skin, 0);
}

TEST_F(SettingsPageTest, AnotherPagesItemsAreNeverHarvested) {
    page().SpeedButton35Click();
    form->SpeedButton9Click(form->SpeedButton2); // copy music refills the first list
    form->ComboBox1->addItem(QStringLiteral("96 kbps"));
    form->ComboBox1->addItem(QStringLiteral("x"));
    form->ComboBox1->setCurrentIndex(1);
    form->SpeedButton9Click(form->SpeedButton9);
    EXPECT_EQ(context.settings.mp3Bitrate, 1) << "the MP3 tab was left unmarked with the page";
}

TEST(XdgAutostart, WritesAndRemovesTheSessionEntry) {
    QTemporaryDir config;
    const QString folder = config.filePath(QStringLiteral("autostart"));
    ASSERT_EQ(XdgAutostart::set(folder, QStringLiteral("Fragmentrove 3 (media manager)"),
                                QStringLiteral("/home/u/pro gram/mmanager.exe"), true),
              QString());
    QFile entry(folder + QStringLiteral("/Fragmentrove 3 (media manager).desktop"));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    EXPECT_TRUE(entry.readAll().contains("Exec=\"/home/u/pro gram/mmanager.exe\""));
    entry.close();
    EXPECT_EQ(XdgAutostart::set(folder, QStringLiteral("Fragmentrove 3 (media manager)"), QString(),
                                false),
              QString());
    EXPECT_FALSE(entry.exists());
    EXPECT_EQ(XdgAutostart::set(folder, QStringLiteral("Fragmentrove 3 (media manager)"), QString(),
                                false),
              QString())
        << "removing what is not there is no error";
}

} // namespace
} // namespace fr

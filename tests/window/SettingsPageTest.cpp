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
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace fr {
namespace {

using test::numberedLanguageFile;

// A file or folder that nobody may change, root included, for as long as it lives: a folder
// that takes no new files, or a file that cannot be rewritten.
class Immutable {
public:
    explicit Immutable(const QString& path) : path_(path) { ok_ = setFlag(true); }
    ~Immutable() {
        if (ok_)
            setFlag(false);
    }
    bool ok() const { return ok_; }

private:
    bool setFlag(bool on) {
        const int fd = ::open(QFile::encodeName(path_).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        int flags = 0;
        bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        ::close(fd);
        return done;
    }
    QString path_;
    bool ok_ = false;
};

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class SettingsPageTest : public test::WindowFixture {
protected:
    void SetUp() override {
        dir.write(QStringLiteral("lang/lang.cze"),
                  numberedLanguageFile(QStringLiteral("cz "), 237));
        createWindow(numberedLanguageFile(QStringLiteral("en "), 237));
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
    EXPECT_EQ(window->encoder().Bitrate(), 256u);
    EXPECT_EQ(window->encoder().EnableVBR(), 0);
    EXPECT_EQ(texts(), std::vector<QString>{"en 169"});
    EXPECT_TRUE(page().isMarked(SettingsPage::Tab::General));
    EXPECT_FALSE(form->SpeedButton12->isVisibleTo(form));
    EXPECT_EQ(form->Label2->text(), QStringLiteral("en 1")) << "back on the welcome page";
    for (const auto& [label, top] : {std::pair{form->Label2, 112}, std::pair{form->Label3, 200}}) {
        EXPECT_EQ(label->pos(), QPoint(210, top)) << label->objectName().toStdString();
        EXPECT_EQ(label->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    }

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
    // Nothing the user can see is left in the old language, hints included.
    QStringList leftOver;
    for (QWidget* control : form->findChildren<QWidget*>()) {
        QString caption;
        if (const auto* button = qobject_cast<FlatButton*>(control))
            caption = button->text();
        else if (const auto* label = qobject_cast<QLabel*>(control))
            caption = label->text();
        else if (const auto* box = qobject_cast<PictureCheckBox*>(control))
            caption = box->text();
        if (control->isVisibleTo(form) && caption.startsWith(QStringLiteral("en ")))
            leftOver << control->objectName();
        if (control->toolTip().startsWith(QStringLiteral("en ")))
            leftOver << control->objectName() + QStringLiteral(" hint");
    }
    EXPECT_EQ(leftOver, QStringList());
}

TEST_F(SettingsPageTest, SavingFromEachTabWritesTheSameElevenLines) {
    const qint64 classicBack = form->skin().back.cacheKey();
    const int blockBytes = context.fillBuffers.blockBytes();
    form->ComboBox1->setCurrentIndex(1); // nature
    QTest::mouseClick(form->CheckBox5, Qt::LeftButton);
    page().SpeedButton34Click();
    form->ComboBox1->setCurrentIndex(3);
    form->ComboBox2->setCurrentIndex(2);
    page().SpeedButton35Click();
    form->ComboBox1->setCurrentIndex(5);
    QTest::mouseClick(form->CheckBox4, Qt::LeftButton); // variable rate on
    form->ComboBox2->setCurrentIndex(2);
    form->ComboBox3->setCurrentIndex(1);
    page().Nastavenia();
    const QString file = dir.file(QStringLiteral("settings.ini"));
    const QByteArray first = contentOf(file);
    EXPECT_EQ(first, QByteArray("3\r\n2\r\n2\r\n0\r\n1\r\n5\r\n2\r\n1\r\n1\r\n1\r\n1\r\n"));
    EXPECT_EQ(form->skin().back.cacheKey(), classicBack) << "a new skin waits for the next start";
    EXPECT_EQ(context.fillBuffers.blockBytes(), blockBytes) << "so does the block size";

    for (const auto tab : {&SettingsPage::SpeedButton27Click, &SettingsPage::SpeedButton34Click,
                           &SettingsPage::SpeedButton35Click}) {
        form->SpeedButton9Click(form->SpeedButton9);
        (page().*tab)();
        page().Nastavenia();
        EXPECT_EQ(contentOf(file), first);
    }
}

TEST_F(SettingsPageTest, TypedTextThatIsNoItemAddsNothingAndIsNotStored) {
    const auto type = [](QComboBox* box, const QString& text) {
        box->lineEdit()->selectAll();
        QTest::keyClicks(box->lineEdit(), text);
        QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    };
    type(form->ComboBox2, QStringLiteral("Klingon"));
    EXPECT_EQ(form->ComboBox2->count(), 6) << "typing never adds a language";
    page().SpeedButton35Click();
    type(form->ComboBox1, QStringLiteral("999 kbps"));
    EXPECT_EQ(form->ComboBox1->count(), 6) << "typing never adds a bit rate";
    page().Nastavenia();

    const Settings settings = saved(); // and the next start can read the file
    EXPECT_EQ(settings.language, 2);
    EXPECT_EQ(settings.mp3Bitrate, 1);
    EXPECT_EQ(texts(), std::vector<QString>{"en 169"});
}

TEST_F(SettingsPageTest, CheckBox4EnablesTheMaximumRateOnTheMp3TabOnly) {
    ASSERT_TRUE(page().isMarked(SettingsPage::Tab::General));
    for (int click = 0; click < 2; ++click) {
        QTest::mouseClick(form->CheckBox4, Qt::LeftButton);
        EXPECT_TRUE(form->ComboBox2->isEnabled()) << "the language stays choosable";
    }
}

TEST_F(SettingsPageTest, FailedSaveSaysWhyAndKeepsThePage) {
    const QString file = dir.file(QStringLiteral("settings.ini"));
    const QByteArray before = contentOf(file);
    form->ComboBox1->setCurrentIndex(2); // banana
    {
        Immutable folder(dir.path());
        Immutable settingsFile(file);
        if (!folder.ok() || !settingsFile.ok())
            GTEST_SKIP() << "no immutable files here (needs root and ext4 or alike)";
        page().Nastavenia();
    }
    ASSERT_EQ(prompts.shown.size(), 1u) << "no confirmation after a failed save";
    EXPECT_EQ(prompts.shown[0].kind, PromptKind::Error);
    EXPECT_TRUE(prompts.shown[0].text.startsWith(QStringLiteral("en 236")));
    EXPECT_TRUE(prompts.shown[0].text.contains(file)) << prompts.shown[0].text.toStdString();
    EXPECT_EQ(contentOf(file), before);
    EXPECT_EQ(context.settings.skin, 2) << "the harvested value stays in memory";
    EXPECT_TRUE(form->SpeedButton12->isVisibleTo(form)) << "the page stays to try again";
}

TEST_F(SettingsPageTest, FolderThatTakesNoNewFilesStillSavesIntoTheFile) {
    form->ComboBox1->setCurrentIndex(1); // nature
    {
        Immutable folder(dir.path());
        if (!folder.ok())
            GTEST_SKIP() << "no immutable folders here (needs root and ext4 or alike)";
        page().Nastavenia();
    }
    EXPECT_EQ(texts(), std::vector<QString>{"en 169"});
    EXPECT_EQ(saved().skin, 1);
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

// The shipped languages, as a user sees them.
class SettingsInEveryLanguageTest : public test::WindowFixture {
protected:
    void SetUp() override { createWindow(); }
};

TEST_F(SettingsInEveryLanguageTest, EveryCaptionFitsItsControlOnEveryTab) {
    form->show();
    SettingsPage& page = *window->settingsPage();
    for (int language = 0; language < 6; ++language) {
        context.settings.language = static_cast<std::uint8_t>(language);
        form->reapplySettings();
        form->SpeedButton9Click(form->SpeedButton9);
        for (const auto open :
             {&SettingsPage::SpeedButton27Click, &SettingsPage::SpeedButton34Click,
              &SettingsPage::SpeedButton35Click}) {
            (page.*open)();
            for (QWidget* control : std::initializer_list<QWidget*>{
                     form->SpeedButton27, form->SpeedButton34, form->SpeedButton35, form->CheckBox4,
                     form->CheckBox5}) {
                if (!control->isVisible())
                    continue;
                EXPECT_LE(control->sizeHint().width(), control->width())
                    << "language " << language << ": " << control->objectName().toStdString();
            }
        }
    }
}

TEST(XdgAutostart, WritesAndRemovesTheSessionEntry) {
    QTemporaryDir config;
    const QString folder = config.filePath(QStringLiteral("autostart"));
    // Every character that means something to the launcher, in a program folder's name.
    ASSERT_EQ(XdgAutostart::set(folder, QStringLiteral("Fragmentrove 3 (media manager)"),
                                QStringLiteral("/home/u/my $HOME `x` 100% \"q\" a\\b/mmanager.exe"),
                                true),
              QString());
    QFile entry(folder + QStringLiteral("/Fragmentrove 3 (media manager).desktop"));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QByteArray lines = entry.readAll();
    EXPECT_TRUE(lines.contains("\nExec=\"/home/u/my \\\\$HOME \\\\`x\\\\` 100%% \\\\\"q\\\\\" "
                               "a\\\\\\\\b/mmanager.exe\"\n"))
        << lines.toStdString();
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

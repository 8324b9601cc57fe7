#include "window/SettingsPage.h"

#include "audio/EncoderSettings.h"
#include "core/ProgramContext.h"
#include "core/SettingsFile.h"
#include "platform/Platform.h"
#include "platform/Prompts.h"
#include "widgets/FlatButton.h"
#include "widgets/PictureCheckBox.h"
#include "window/Prisposob.h"
#include "window/TForm1.h"

#include <QComboBox>
#include <QLabel>
#include <QSignalBlocker>

namespace fr {

namespace {

// Fills a choice list; the position of an item is the stored value.
void fill(QComboBox* box, const QStringList& items, int selected, int top) {
    const QSignalBlocker quiet(box);
    box->clear();
    box->addItems(items);
    box->setCurrentIndex(selected < items.size() ? selected : -1);
    box->move(box->x(), top);
    box->show();
}

void placeLabel(QLabel* label, const QString& text, int top) {
    label->setText(text);
    label->move(170, top);
    label->show();
}

} // namespace

SettingsPage::SettingsPage(TForm1& form, ProgramContext& context, TLameCoder& encoder)
    : Page(form, form.SpeedButton9), form_(form), context_(context), encoder_(encoder) {
    connect(form_.SpeedButton27, &FlatButton::clicked, this, &SettingsPage::SpeedButton27Click);
    connect(form_.SpeedButton34, &FlatButton::clicked, this, &SettingsPage::SpeedButton34Click);
    connect(form_.SpeedButton35, &FlatButton::clicked, this, &SettingsPage::SpeedButton35Click);
    connect(form_.CheckBox4, &PictureCheckBox::clicked, this, &SettingsPage::CheckBox4Click);
    // A typed text that is no choice must never become one: its position would be stored as
    // a value that settings.ini cannot hold.
    for (QComboBox* box : {form_.ComboBox1, form_.ComboBox2, form_.ComboBox3})
        box->setInsertPolicy(QComboBox::NoInsert);
    form_.setHandler(PageAction::SaveSettings, [this] { Nastavenia(); });
}

void SettingsPage::left() {
    for (const Tab tab : {Tab::General, Tab::Copy, Tab::Mp3})
        unmark(tab);
}

FlatButton* SettingsPage::tabButton(Tab tab) const {
    switch (tab) {
    case Tab::General:
        return form_.SpeedButton27;
    case Tab::Copy:
        return form_.SpeedButton34;
    case Tab::Mp3:
        return form_.SpeedButton35;
    }
    return nullptr;
}

bool SettingsPage::isMarked(Tab tab) const {
    return tabButton(tab)->font().bold();
}

void SettingsPage::mark(Tab tab) {
    QFont font = tabButton(tab)->font();
    font.setBold(true);
    tabButton(tab)->setFont(font);
}

void SettingsPage::unmark(Tab tab) {
    QFont font = tabButton(tab)->font();
    font.setBold(false);
    tabButton(tab)->setFont(font);
}

void SettingsPage::open() {
    SpeedButton27Click();
}

void SettingsPage::openTab(Tab tab, std::initializer_list<Tab> othersInOrder) {
    for (const Tab other : othersInOrder) {
        if (isMarked(other)) {
            unmark(other);
            harvestTab(other);
        }
    }
    mark(tab);
    showTab(tab);
}

void SettingsPage::SpeedButton27Click() {
    openTab(Tab::General, {Tab::Mp3, Tab::Copy});
}

void SettingsPage::SpeedButton34Click() {
    openTab(Tab::Copy, {Tab::Mp3, Tab::General});
}

void SettingsPage::SpeedButton35Click() {
    openTab(Tab::Mp3, {Tab::Copy, Tab::General});
}

void SettingsPage::CheckBox4Click() {
    if (isMarked(Tab::Mp3))
        form_.ComboBox2->setEnabled(form_.CheckBox4->isChecked());
}

namespace {

// The position of the item that the box's text equals; the last equal item wins, and a text
// that is no item leaves the field as it was.
void harvestChoice(const QComboBox* box, std::uint8_t& field) {
    for (int i = 0; i < box->count(); ++i)
        if (box->itemText(i) == box->currentText())
            field = static_cast<std::uint8_t>(i);
}

std::uint8_t flag(const PictureCheckBox* box) {
    return box->isChecked() ? 1 : 0;
}

} // namespace

void SettingsPage::harvestTab(Tab tab) {
    Settings& settings = context_.settings;
    switch (tab) {
    case Tab::General:
        harvestChoice(form_.ComboBox1, settings.skin);
        harvestChoice(form_.ComboBox2, settings.language);
        settings.autostartManager = flag(form_.CheckBox4);
        settings.launchManager = flag(form_.CheckBox5);
        break;
    case Tab::Copy:
        harvestChoice(form_.ComboBox1, settings.fillMode);
        harvestChoice(form_.ComboBox2, settings.blockSize);
        break;
    case Tab::Mp3:
        harvestChoice(form_.ComboBox1, settings.mp3Bitrate);
        harvestChoice(form_.ComboBox2, settings.mp3MaxBitrate);
        harvestChoice(form_.ComboBox3, settings.mp3SampleRate);
        settings.mp3Vbr = flag(form_.CheckBox4);
        settings.mp3Stereo = flag(form_.CheckBox5);
        applyEncoderSettings(settings, encoder_);
        break;
    }
}

void SettingsPage::Nastavenia() {
    // Through every tab, so that each one's values are taken, ending on the general tab.
    if (isMarked(Tab::General))
        SpeedButton34Click();
    if (isMarked(Tab::Copy))
        SpeedButton35Click();
    if (isMarked(Tab::Mp3))
        SpeedButton27Click();

    const QString error =
        SettingsFile::write(context_.file(QStringLiteral("settings.ini")), context_.settings);
    if (!error.isEmpty()) {
        // The harvested values stay in memory; the page stays open to try again.
        context_.prompts.error(context_.text(236) + error); // the settings could not be saved
        return;
    }
    const QString autostart = context_.platform.setAutostart(
        QLatin1String(kAutostartName), context_.file(QStringLiteral("mmanager.exe")),
        context_.settings.autostartManager == 1);
    if (!autostart.isEmpty())
        context_.prompts.error(autostart);
    context_.prompts.information(context_.text(169));

    for (QWidget* control : std::initializer_list<QWidget*>{
             form_.ComboBox1, form_.ComboBox2, form_.ComboBox3, form_.CheckBox4, form_.CheckBox5,
             form_.Label4, form_.SpeedButton12, form_.SpeedButton27, form_.SpeedButton34,
             form_.SpeedButton35})
        control->hide();
    for (QLabel* label : {form_.Label2, form_.Label3})
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    form_.Label2->move(210, 112);
    form_.Label3->move(210, 200);
    form_.reapplySettings();
}

void SettingsPage::showTab(Tab tab) {
    const auto text = [this](int index) {
        return context_.text(index);
    };
    const Settings& settings = context_.settings;
    form_.ComboBox3->hide();
    form_.Label4->hide();
    form_.CheckBox4->hide();
    form_.CheckBox5->hide();
    form_.ComboBox2->setEnabled(true);

    switch (tab) {
    case Tab::General:
        placeLabel(form_.Label2, text(193), 110);
        placeLabel(form_.Label3, text(15), 165);
        fill(form_.ComboBox1, {text(194), text(195), text(196)}, settings.skin, 125);
        fill(form_.ComboBox2, {text(21), text(22), text(23), text(198), text(199), text(200)},
             settings.language, 180);
        form_.CheckBox4->setGeometry(168, 210, form_.CheckBox4->width(), form_.CheckBox4->height());
        form_.CheckBox4->setText(text(60));
        form_.CheckBox4->setChecked(settings.autostartManager == 1);
        form_.CheckBox5->setGeometry(168, 230, form_.CheckBox5->width(), form_.CheckBox5->height());
        form_.CheckBox5->setText(text(61));
        form_.CheckBox5->setChecked(settings.launchManager == 1);
        break;
    case Tab::Copy:
        placeLabel(form_.Label2, text(14), 135);
        placeLabel(form_.Label3, text(16), 205);
        fill(form_.ComboBox1, {text(17), text(18), text(19), text(20)}, settings.fillMode, 150);
        fill(form_.ComboBox2, {text(24), text(25), text(26)}, settings.blockSize, 220);
        return;
    case Tab::Mp3:
        placeLabel(form_.Label2, text(95), 105);
        placeLabel(form_.Label3, text(96), 170);
        placeLabel(form_.Label4, text(97), 235);
        fill(form_.ComboBox1,
             {QStringLiteral("96 kbps"), QStringLiteral("128 kbps"), QStringLiteral("160 kbps"),
              QStringLiteral("192 kbps"), QStringLiteral("256 kbps"), QStringLiteral("320 kbps")},
             settings.mp3Bitrate, 120);
        fill(form_.ComboBox2,
             {QStringLiteral("160 kbps"), QStringLiteral("192 kbps"), QStringLiteral("256 kbps"),
              QStringLiteral("320 kbps")},
             settings.mp3MaxBitrate, 185);
        fill(form_.ComboBox3,
             {QStringLiteral("22050 Hz"), QStringLiteral("32000 Hz"), QStringLiteral("44100 Hz")},
             settings.mp3SampleRate, 250);
        form_.CheckBox4->setGeometry(335, 170, form_.CheckBox4->width(), form_.CheckBox4->height());
        form_.CheckBox4->setText(text(94));
        form_.CheckBox4->setChecked(settings.mp3Vbr == 1);
        form_.CheckBox5->setGeometry(335, 190, form_.CheckBox5->width(), form_.CheckBox5->height());
        form_.CheckBox5->setText(QStringLiteral("stereo"));
        form_.CheckBox5->setChecked(settings.mp3Stereo == 1);
        form_.ComboBox2->setEnabled(form_.CheckBox4->isChecked());
        break;
    }
    form_.CheckBox4->show();
    form_.CheckBox5->show();
    prisposob(form_.CheckBox4, 25, 7, 8, form_.CheckBox4->text());
    prisposob(form_.CheckBox5, 25, 7, 8, form_.CheckBox5->text());
}

} // namespace fr

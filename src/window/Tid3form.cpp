#include "window/Tid3form.h"

#include "audio/Id3Tag.h"
#include "core/ProgramContext.h"
#include "core/RecordText.h"
#include "widgets/FlatButton.h"
#include "widgets/LabeledEdit.h"
#include "widgets/SpinEdit.h"
#include "window/Skin.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>

namespace fr {

namespace {

constexpr int kHeight = 220;
constexpr int kButtonsTop = 190;
// The band of the skin's picture that the buttons stand on begins here.
constexpr int kButtonBandTop = 184;
// The note's two lines, which the dialog grows by while it shows.
constexpr int kNoteHeight = 30;

LabeledEdit* labeledEdit(QWidget* parent, const char* name, QRect geometry, const QString& label) {
    auto* edit = new LabeledEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setLabelPosition(LabeledEdit::LabelPosition::Above);
    edit->setGeometry(geometry);
    edit->setLabelText(label);
    return edit;
}

FlatButton* button(QWidget* parent, const char* name, int left, const QString& caption) {
    auto* button = new FlatButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(left, kButtonsTop, 100, 22);
    button->setPanel(true);
    return button;
}

} // namespace

Tid3form::Tid3form(ProgramContext& context, const Skin& skin, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), context_(context), skin_(skin) {
    setObjectName(QStringLiteral("id3form"));
    setFixedSize(300, 220);
    setWindowModality(Qt::ApplicationModal);
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, skin_.colourB);
    colours.setColor(QPalette::Text, skin_.colourB);
    colours.setColor(QPalette::Base, skin_.colourA);
    setPalette(colours);

    const auto text = [this](int index) {
        return context_.text(index);
    };
    LabeledEdit1 = labeledEdit(this, "LabeledEdit1", {10, 25, 160, 21}, text(203));
    LabeledEdit2 = labeledEdit(this, "LabeledEdit2", {10, 70, 160, 21}, text(204));
    LabeledEdit3 = labeledEdit(this, "LabeledEdit3", {10, 115, 160, 21}, text(205));
    LabeledEdit4 = labeledEdit(this, "LabeledEdit4", {10, 160, 279, 21}, text(206));
    SpinEdit1 = new SpinEdit(this);
    SpinEdit1->setObjectName(QStringLiteral("SpinEdit1"));
    SpinEdit1->setGeometry(180, 70, 110, 21);
    SpinEdit1->setNoLimits();
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setEditable(true);
    // A typed genre stays a text: the list is not to grow with the user's words.
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->setGeometry(180, 115, 110, 21);
    ComboBox1->addItems(genreTable().mid(1));
    SpeedButton1 = button(this, "SpeedButton1", 10, text(201));
    SpeedButton2 = button(this, "SpeedButton2", 120, text(202));
    for (FlatButton* flat : {SpeedButton1, SpeedButton2})
        flat->setTextColor(skin_.colourB);

    CutNote = new QLabel(text(276), this);
    CutNote->setObjectName(QStringLiteral("CutNote"));
    CutNote->setGeometry(10, kButtonBandTop, 280, kNoteHeight - 2);
    CutNote->setWordWrap(true);
    CutNote->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    CutNote->hide();
    for (LabeledEdit* edit : {LabeledEdit1, LabeledEdit2, LabeledEdit3, LabeledEdit4})
        connect(edit, &QLineEdit::textChanged, this, &Tid3form::updateCutNote);
    if (auto* year = SpinEdit1->findChild<QLineEdit*>())
        connect(year, &QLineEdit::textChanged, this, &Tid3form::updateCutNote);

    connect(SpeedButton1, &FlatButton::clicked, this, &Tid3form::SpeedButton1Click);
    connect(SpeedButton2, &FlatButton::clicked, this, &Tid3form::SpeedButton2Click);
}

QString Tid3form::defaultComment() {
    return QStringLiteral("Fragmentrove-fragmentrove.org");
}

void Tid3form::showAt(QPoint topLeft) {
    // Only a track of the disc has a tag to edit.
    if (context_.currentId3Track < 1 || context_.currentId3Track > Id3Records::kTracks)
        return;
    move(topLeft);
    FormShow();
    open();
}

void Tid3form::setYearText(const QString& year) {
    // The field keeps the year as it was typed; an empty one stays empty rather than "0".
    SpinEdit1->setValue(year.toLongLong());
    if (auto* field = SpinEdit1->findChild<QLineEdit*>())
        field->setText(year);
}

void Tid3form::FormShow() {
    const Id3Record& record = context_.id3Records[context_.currentId3Track];
    LabeledEdit1->setText(Id3Record::text(record.Artist));
    LabeledEdit2->setText(Id3Record::text(record.Title));
    LabeledEdit3->setText(Id3Record::text(record.Album));
    setYearText(Id3Record::text(record.Year));
    ComboBox1->setCurrentIndex(record.GenreIndex < ComboBox1->count() ? record.GenreIndex : 0);
    ComboBox1->setEditText(ComboBox1->itemText(ComboBox1->currentIndex()));
    const QString comment = Id3Record::text(record.Comment);
    LabeledEdit4->setText(comment.isEmpty() ? defaultComment() : comment);
}

Id3Record Tid3form::fieldsRecord() const {
    Id3Record record;
    Id3Record::setText(record.Title, LabeledEdit2->text());
    Id3Record::setText(record.Artist, LabeledEdit1->text());
    Id3Record::setText(record.Album, LabeledEdit3->text());
    Id3Record::setText(record.Comment, LabeledEdit4->text());
    Id3Record::setText(record.Year, SpinEdit1->text());
    // Only an entry of the list, exactly as written there, names a genre; other text is the
    // first entry.
    const QString genre = ComboBox1->currentText();
    int position = 0;
    for (int i = 0; i < ComboBox1->count(); ++i)
        if (ComboBox1->itemText(i) == genre) {
            position = i;
            break;
        }
    record.GenreIndex = std::uint8_t(position);
    return record;
}

void Tid3form::updateCutNote() {
    Id3Record record = fieldsRecord();
    // The program's own comment is one letter too long for the 1.1 area; its cut takes
    // nothing of the user's, so it is no reason for the note.
    if (Id3Record::text(record.Comment) == defaultComment())
        Id3Record::setText(record.Comment, {});
    const bool cut = cutInVersion1(record);
    if (cut == !CutNote->isHidden())
        return;
    const int grown = cut ? kNoteHeight : 0;
    setFixedSize(300, kHeight + grown);
    SpeedButton1->move(SpeedButton1->x(), kButtonsTop + grown);
    SpeedButton2->move(SpeedButton2->x(), kButtonsTop + grown);
    CutNote->setVisible(cut);
    update();
}

void Tid3form::SpeedButton1Click() {
    close();
    Id3Record& record = context_.id3Records[context_.currentId3Track];
    record = fieldsRecord();
    Id3Record::setText(record.Header, QStringLiteral("TAG"));
}

void Tid3form::SpeedButton2Click() {
    close();
}

void Tid3form::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (height() == kHeight) {
        painter.drawPixmap(0, 0, skin_.id3Back);
    } else {
        // Taller: the panel above the buttons' band goes on for the note's lines.
        const int grown = height() - kHeight;
        painter.drawPixmap(0, 0, skin_.id3Back, 0, 0, 300, kButtonBandTop);
        painter.drawPixmap(0, kButtonBandTop, skin_.id3Back, 0, kButtonBandTop - grown, 300, grown);
        painter.drawPixmap(0, kButtonBandTop + grown, skin_.id3Back, 0, kButtonBandTop, 300,
                           kHeight - kButtonBandTop);
    }
    painter.setPen(skin_.colourB);
    painter.setFont(font());
    const QFontMetrics metrics(font());
    // The two captions without labels of their own, their tops at the given points.
    painter.drawText(QPoint(180, 55 + metrics.ascent()), context_.text(207));
    painter.drawText(QPoint(180, 97 + metrics.ascent()), context_.text(208));
}

} // namespace fr

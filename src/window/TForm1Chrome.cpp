// The window's own chrome, as it has no system frame: the skin, the painted background,
// moving the window by dragging, the logo link and the hints.

#include "core/ProgramContext.h"
#include "platform/Platform.h"
#include "widgets/CheckListBox.h"
#include "widgets/ClickableLabel.h"
#include "widgets/DriveComboBox.h"
#include "widgets/FlatButton.h"
#include "widgets/LabeledEdit.h"
#include "widgets/PictureCheckBox.h"
#include "widgets/PieGauge.h"
#include "widgets/SpinEdit.h"
#include "window/TForm1.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QTableWidget>

namespace fr {

QString TForm1::applySkin() {
    if (QString error = skin_.load(context_.programDir, context_.settings.skin); !error.isEmpty())
        return error;
    Image1->setPixmap(skin_.minimize);
    Image2->setPixmap(skin_.close);
    Image3->setPixmap(skin_.open);
    Image4->setPixmap(skin_.save);
    Image5->setPixmap(skin_.help);
    for (ClickableLabel* picture : {Image1, Image2, Image5})
        picture->resize(picture->pixmap().size());

    // The window's text colour first; the input controls then get their own background.
    QPalette window = palette();
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        window.setColor(role, skin_.colourB);
    setPalette(window);

    for (QWidget* input : std::initializer_list<QWidget*>{
             ComboBox1, ComboBox2, ComboBox3, DriveComboBox1, Edit1, Edit2, LabeledEdit1,
             LabeledEdit2, FilterComboBox1, CheckListBox1, SpinEdit1, StringGrid1}) {
        QPalette colours = input->palette();
        colours.setColor(QPalette::Base, skin_.colourA);
        colours.setColor(QPalette::Button, skin_.colourA);
        colours.setColor(QPalette::Text, skin_.colourB);
        colours.setColor(QPalette::ButtonText, skin_.colourB);
        input->setPalette(colours);
    }
    for (QLabel* text : {Label1, Label2, Label3, Label4, Label5, Label6}) {
        QPalette colours = text->palette();
        colours.setColor(QPalette::WindowText, skin_.colourB);
        text->setPalette(colours);
    }
    for (FlatButton* skinned :
         {SpeedButton1,  SpeedButton2,  SpeedButton3,  SpeedButton4,  SpeedButton5,  SpeedButton6,
          SpeedButton7,  SpeedButton8,  SpeedButton9,  SpeedButton10, SpeedButton11, SpeedButton12,
          SpeedButton13, SpeedButton14, SpeedButton15, SpeedButton16, SpeedButton17, SpeedButton23,
          SpeedButton27, SpeedButton28, SpeedButton34, SpeedButton35})
        skinned->setTextColor(skin_.colourB);
    // The slice in the pale input colour fills a white pie, so the progress always shows.
    Gauge1->setForeColor(skin_.colourA);
    Gauge1->setBackColor(Qt::white);

    for (PictureCheckBox* box :
         {CheckBox1, CheckBox2, CheckBox3, CheckBox4, CheckBox5, checkbox6}) {
        box->setImageType(skin_.checkMarks);
        box->setTextColor(skin_.colourB);
    }
    update();
    return {};
}

void TForm1::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!skin_.back.isNull())
        painter.drawPixmap(0, 0, skin_.back);
    else
        painter.fillRect(rect(), palette().window());
}

bool TForm1::isDragEnabled(QObject* object) const {
    return object == this || object == Label1 || object == Label2 || object == Label3 ||
           object == Label4 || object == Label5 || object == Label6 || object == LabeledEdit1 ||
           object == LabeledEdit2;
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::ToolTip:
        // Page hints follow the window's hint switch; the title-area pictures never get here.
        if (watched != Image1 && watched != Image2 && watched != Image5 && !showHints_)
            return true;
        break;
    case QEvent::MouseButtonPress:
        if (watched == CheckListBox1->viewport() &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            run(checkListBoxMouseDownAction);
        if (isDragEnabled(watched))
            FormMouseDown(static_cast<QWidget*>(watched),
                          static_cast<QMouseEvent*>(event)->position().toPoint());
        break;
    case QEvent::MouseMove:
        if (isDragEnabled(watched)) {
            const auto* move = static_cast<QMouseEvent*>(event);
            FormMouseMove(static_cast<QWidget*>(watched), move->position().toPoint(),
                          move->buttons(), move->globalPosition().toPoint());
        }
        break;
    case QEvent::MouseButtonRelease:
        if (watched == this && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            FormClick();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void TForm1::FormMouseDown(QWidget*, QPoint point) {
    pressPoint_ = point;
    movedSincePress_ = false;
}

void TForm1::FormMouseMove(QWidget* control, QPoint point, Qt::MouseButtons buttons,
                           QPoint globalPoint) {
    if (control == this) {
        showHints_ = inLogoArea(point);
        setCursor(showHints_ ? Qt::PointingHandCursor : Qt::ArrowCursor);
    }
    if (buttons & Qt::LeftButton) {
        QPoint topLeft = globalPoint - pressPoint_;
        if (control != this)
            topLeft -= control->pos();
        if (topLeft != pos())
            movedSincePress_ = true;
        move(topLeft);
    }
    lastMousePoint_ = point;
}

void TForm1::Image5Click() {
    // The page state is its title: two equal captions in a language file give two topics,
    // and the last one shown is where the help stays.
    const QString title = Label1->text().toUpper();
    const auto shows = [&title](const QString& caption) {
        return title == caption.toUpper();
    };
    const std::initializer_list<std::pair<FlatButton*, const char*>> pages = {
        {SpeedButton1, "EditMenu"}, {SpeedButton2, "HelpMenu"}, {SpeedButton3, "UserInterface"},
        {SpeedButton4, "FinishC"},  {SpeedButton5, "Damaged"},  {SpeedButton6, "Format"},
        {SpeedButton7, "Edit"},     {SpeedButton8, "Image"}};
    if (shows(context_.text(0)))
        emit helpRequested(context_.helpFile, QStringLiteral("Introduction"));
    for (const auto& [command, topic] : pages)
        if (shows(command->text()))
            emit helpRequested(context_.helpFile, QLatin1String(topic));
    if (!shows(SpeedButton9->text()))
        return;
    // The open tab is the one whose button's caption is bold.
    for (const auto& [tab, topic] :
         {std::pair{SpeedButton35, "Nastavenia3"}, std::pair{SpeedButton34, "Nastavenia2"},
          std::pair{SpeedButton27, "Nastavenia"}})
        if (tab->font().bold())
            emit helpRequested(context_.helpFile, QLatin1String(topic));
}

void TForm1::FormClick() {
    // A press that moved the window was a drag, not a click on the logo.
    if (!movedSincePress_ && inLogoArea(lastMousePoint_))
        context_.platform.runFile(context_.file(QStringLiteral("web.url")), true);
}

} // namespace fr

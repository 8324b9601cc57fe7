#include "window/AreaMapWindow.h"

#include "core/ProgramContext.h"
#include "platform/FileDialogs.h"
#include "platform/Prompts.h"
#include "platform/ShownPath.h"
#include "widgets/AreaStrip.h"
#include "window/OutputChoice.h"

#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

namespace fr {

namespace {

QString swatch(RescueMap::Status status, const QString& word) {
    return QStringLiteral("<span style=\"color:%1\">&#9632;</span>&nbsp;%2")
        .arg(AreaStrip::colourOf(status).name(), word.toHtmlEscaped());
}

// "A:\dir\file.txt" gives "file.txt.map", a drive "A:" gives "A.map".
QString mapNameFor(const QString& source) {
    QString name = source.mid(source.lastIndexOf(QLatin1Char('\\')) + 1);
    name.remove(QLatin1Char(':'));
    return (name.isEmpty() ? QStringLiteral("medium") : name) + QStringLiteral(".map");
}

} // namespace

AreaMapWindow* AreaMapWindow::show(QWidget& owner, const ProgramContext& context, const Job& job) {
    auto* window = owner.findChild<AreaMapWindow*>(QString(), Qt::FindDirectChildrenOnly);
    if (!window)
        window = new AreaMapWindow(owner, context);
    window->setJob(job);
    // Right of the owner where the screen has room, else left of it, else below it.
    const QRect frame = owner.window()->frameGeometry();
    const QRect screen = owner.window()->screen()->availableGeometry();
    QPoint at(frame.right() + 10, frame.top());
    if (at.x() + window->width() > screen.right())
        at = QPoint(frame.left() - 10 - window->width(), frame.top());
    if (at.x() < screen.left())
        at = QPoint(std::max(screen.left(), frame.left()), frame.bottom() + 10);
    window->move(at);
    window->QWidget::show();
    window->raise();
    return window;
}

AreaMapWindow::AreaMapWindow(QWidget& owner, const ProgramContext& context)
    : QWidget(&owner, Qt::Tool), context_(context) {
    setObjectName(QStringLiteral("AreaMapWindow"));
    // The questions that follow a job keep the keyboard.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(360, 132);

    summaryLabel = new QLabel(this);
    summaryLabel->setObjectName(QStringLiteral("summaryLabel"));
    summaryLabel->setGeometry(10, 8, 340, 32);
    summaryLabel->setWordWrap(true);
    strip = new AreaStrip(this);
    strip->setGeometry(10, 44, 340, 24);
    legendLabel = new QLabel(this);
    legendLabel->setObjectName(QStringLiteral("legendLabel"));
    legendLabel->setGeometry(10, 72, 340, 18);
    legendLabel->setTextFormat(Qt::RichText);

    saveButton = new QPushButton(this);
    saveButton->setObjectName(QStringLiteral("saveButton"));
    saveButton->setGeometry(10, 98, 160, 26);
    closeButton = new QPushButton(this);
    closeButton->setObjectName(QStringLiteral("closeButton"));
    closeButton->setGeometry(270, 98, 80, 26);
    connect(saveButton, &QPushButton::clicked, this, &AreaMapWindow::saveButtonClick);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
}

void AreaMapWindow::setJob(const Job& job) {
    job_ = job;
    // The captions follow the language chosen now, which may have changed since the last job.
    setWindowTitle(context_.text(253) + QStringLiteral(" - ") + job.source);
    legendLabel->setText(swatch(RescueMap::Status::Rescued, context_.text(256)) +
                         QStringLiteral("&nbsp;&nbsp;&nbsp;") +
                         swatch(RescueMap::Status::Unreadable, context_.text(257)) +
                         QStringLiteral("&nbsp;&nbsp;&nbsp;") +
                         swatch(RescueMap::Status::Untried, context_.text(258)));
    saveButton->setText(context_.text(254));
    closeButton->setText(context_.text(125));
    showMap();
}

void AreaMapWindow::setMap(const RescueMap& map) {
    job_.map = map;
    showMap();
}

void AreaMapWindow::showMap() {
    const RescueMap& map = job_.map;
    const QLocale locale;
    summaryLabel->setText(
        QString(context_.text(255))
            .replace(QLatin1String("%1"), locale.toString(qulonglong(map.unreadable.size())))
            .replace(QLatin1String("%2"), locale.toString(qlonglong(map.unreadableBytes())))
            .replace(QLatin1String("%3"), locale.toString(qlonglong(map.size))));
    strip->setMap(map);
}

void AreaMapWindow::saveButtonClick() {
    int filterEntry = 0;
    QString path = context_.fileDialogs->saveFile(context_.text(254), context_.text(259),
                                                  mapNameFor(job_.source), &filterEntry);
    if (path.isEmpty())
        return;
    if (filterEntry <= 1 && QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".map");
    const QString target =
        chooseOutputFile(context_, path, {job_.files, context_.programDir, true});
    if (target.isEmpty())
        return;
    const MapFileHeader header{QStringLiteral("Fragmentrove 3.1"), job_.description, job_.started,
                               QDateTime::currentDateTime(),       job_.source,      QString()};
    if (const QString error = writeMapFile(target, job_.map, header); !error.isEmpty())
        context_.prompts.error(context_.text(260) +
                               withShownPath(error, target, context_.programDir));
}

} // namespace fr

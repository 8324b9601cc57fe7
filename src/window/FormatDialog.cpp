#include "window/FormatDialog.h"

#include "core/ProgramContext.h"
#include "disk/MediaIdentity.h"
#include "platform/DriveMap.h"
#include "platform/Prompts.h"
#include "widgets/DriveComboBox.h"
#include "window/Skin.h"

#include <QComboBox>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>

namespace fr {

namespace {

constexpr int kCaptionLeft = 10;
constexpr int kCaptionWidth = 140;
constexpr int kValueLeft = 154;
constexpr int kValueWidth = 176;

QLabel* captionAt(QWidget* parent, const char* name, int top) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(kCaptionLeft, top, kCaptionWidth, 20);
    return label;
}

QLabel* valueAt(QWidget* parent, const char* name, int top) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(kValueLeft, top, kValueWidth, 20);
    return label;
}

} // namespace

FormatDialog::FormatDialog(ProgramContext& context, const Skin& skin, QWidget* parent)
    : QDialog(parent), context_(context) {
    setObjectName(QStringLiteral("FormatDialog"));
    setFixedSize(340, 290);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, skin.form2Brush);
    colours.setColor(QPalette::WindowText, skin.colourB);
    colours.setColor(QPalette::Text, skin.colourB);
    colours.setColor(QPalette::Base, skin.colourA);
    setPalette(colours);

    driveLine = new QLabel(this);
    driveLine->setObjectName(QStringLiteral("driveLine"));
    driveLine->setGeometry(kCaptionLeft, 8, 320, 20);
    QFont bold = driveLine->font();
    bold.setBold(true);
    driveLine->setFont(bold);
    deviceCaption = captionAt(this, "deviceCaption", 34);
    deviceValue = valueAt(this, "deviceValue", 34);
    labelCaption = captionAt(this, "labelCaption", 58);
    labelValue = valueAt(this, "labelValue", 58);
    fileSystemCaption = captionAt(this, "fileSystemCaption", 84);
    fileSystemBox = new QComboBox(this);
    fileSystemBox->setObjectName(QStringLiteral("fileSystemBox"));
    fileSystemBox->setGeometry(kValueLeft, 84, kValueWidth, 22);
    for (FileSystemKind kind : Formatter::available())
        fileSystemBox->addItem(Formatter::nameOf(kind), static_cast<int>(kind));
    newLabelCaption = captionAt(this, "newLabelCaption", 112);
    newLabelEdit = new QLineEdit(this);
    newLabelEdit->setObjectName(QStringLiteral("newLabelEdit"));
    newLabelEdit->setGeometry(kValueLeft, 112, kValueWidth, 22);
    quickButton = new QRadioButton(this);
    quickButton->setObjectName(QStringLiteral("quickButton"));
    quickButton->setGeometry(kCaptionLeft, 142, 320, 20);
    fullButton = new QRadioButton(this);
    fullButton->setObjectName(QStringLiteral("fullButton"));
    fullButton->setGeometry(kCaptionLeft, 164, 320, 20);
    progress = new QProgressBar(this);
    progress->setObjectName(QStringLiteral("progress"));
    progress->setGeometry(kCaptionLeft, 192, 320, 16);
    progress->setRange(0, 100);
    status = new QLabel(this);
    status->setObjectName(QStringLiteral("status"));
    status->setGeometry(kCaptionLeft, 212, 320, 40);
    status->setWordWrap(true);
    status->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    formatButton = new QPushButton(this);
    formatButton->setObjectName(QStringLiteral("formatButton"));
    formatButton->setGeometry(kCaptionLeft, 258, 155, 24);
    closeButton = new QPushButton(this);
    closeButton->setObjectName(QStringLiteral("closeButton"));
    closeButton->setGeometry(175, 258, 155, 24);

    connect(fileSystemBox, &QComboBox::currentIndexChanged, this, &FormatDialog::fileSystemChosen);
    connect(formatButton, &QPushButton::clicked, this, &FormatDialog::formatDrive);
    connect(closeButton, &QPushButton::clicked, this, &FormatDialog::reject);
    fileSystemChosen();
}

FormatDialog::~FormatDialog() {
    stop_ = true;
    waitForFormat();
}

void FormatDialog::retranslate() {
    setWindowTitle(context_.text(28));
    deviceCaption->setText(context_.text(242));
    labelCaption->setText(context_.text(122));
    fileSystemCaption->setText(context_.text(124));
    newLabelCaption->setText(context_.text(243));
    quickButton->setText(context_.text(244));
    fullButton->setText(context_.text(245));
    formatButton->setText(context_.text(28));
    closeButton->setText(context_.text(125));
}

void FormatDialog::openFor(QWidget* mainWindow, int driveIndex, unsigned options) {
    letter_ = QChar('A' + driveIndex);
    const DriveMap drives = DriveMap::build(context_.programDir);
    const Drive* drive = drives.drive(letter_);
    device_ = drive ? drive->device : QString();
    if (device_.isEmpty()) {
        context_.prompts.information(context_.text(176));
        return;
    }
    retranslate();
    const QString label = MediaIdentity::identify(device_).VolumeLabel;
    driveLine->setText(DriveComboBox::entryText(letter_, label));
    // A long image path keeps its file name in view; the whole path is in the tip.
    deviceValue->setText(
        deviceValue->fontMetrics().elidedText(device_, Qt::ElideMiddle, deviceValue->width()));
    deviceValue->setToolTip(device_);
    labelValue->setText(label.isEmpty() ? context_.text(167) : label);
    newLabelEdit->setText(label.left(newLabelEdit->maxLength()));
    (options & kFullFormat ? fullButton : quickButton)->setChecked(true);
    progress->setValue(0);
    status->clear();
    setBusy(false);
    // A disc is shown, but the dialog offers nothing that would write it; nor for the volume
    // the system or this program stands on.
    if (QString why; Formatter::holdsSystem(device_, context_.programDir, &why)) {
        status->setText(context_.text(264) + '\n' + why);
        formatButton->setEnabled(false);
    } else if (!Formatter::formattable(device_, &why)) {
        status->setText(context_.text(249) + why);
        formatButton->setEnabled(false);
    }
    if (mainWindow) {
        const QRect frame = mainWindow->geometry();
        move(frame.x() + (frame.width() - width()) / 2, frame.y() + 20);
    }
    setModal(true);
    open();
}

void FormatDialog::fileSystemChosen() {
    const auto kind = static_cast<FileSystemKind>(fileSystemBox->currentData().toInt());
    newLabelEdit->setMaxLength(Formatter::labelLimit(kind));
}

void FormatDialog::setBusy(bool busy) {
    for (QWidget* choice : std::initializer_list<QWidget*>{fileSystemBox, newLabelEdit, quickButton,
                                                           fullButton, formatButton})
        choice->setEnabled(!busy && !device_.isEmpty() && fileSystemBox->count() > 0);
}

void FormatDialog::formatDrive() {
    if (worker_ || device_.isEmpty() || fileSystemBox->count() == 0)
        return;
    if (QString why; Formatter::holdsSystem(device_, context_.programDir, &why)) {
        context_.prompts.error(context_.text(264) + '\r' + why);
        return;
    }
    // Everything on the drive is about to go: the question names it.
    if (!context_.prompts.confirm(context_.text(246) + letter_ + QLatin1Char(':')))
        return;
    // Unmounting first shows a drive in use before anything starts.
    if (QString why; !Formatter::release(device_, &why)) {
        context_.prompts.error(context_.text(233) + '\r' + why);
        return;
    }
    FormatRequest request;
    request.device = device_;
    request.programDir = context_.programDir;
    request.fileSystem = static_cast<FileSystemKind>(fileSystemBox->currentData().toInt());
    // FAT keeps its labels in capitals; others would be changed by its formatter anyway.
    request.label = request.fileSystem == FileSystemKind::Fat ? newLabelEdit->text().toUpper()
                                                              : newLabelEdit->text();
    request.full = fullButton->isChecked();

    stop_ = false;
    progress->setValue(0);
    status->setText(context_.text(request.full ? 247 : 248));
    setBusy(true);
    FormatHooks hooks;
    hooks.checked = [this](int percent) {
        QMetaObject::invokeMethod(
            this, [this, percent] { progress->setValue(percent); }, Qt::QueuedConnection);
    };
    hooks.writing = [this] {
        QMetaObject::invokeMethod(
            this, [this] { status->setText(context_.text(248)); }, Qt::QueuedConnection);
    };
    worker_ = QThread::create([this, request, hooks] {
        const FormatOutcome outcome = Formatter::format(request, hooks, stop_);
        QMetaObject::invokeMethod(
            this, [this, outcome] { showOutcome(outcome); }, Qt::QueuedConnection);
    });
    worker_->start();
}

void FormatDialog::showOutcome(const FormatOutcome& outcome) {
    if (worker_) {
        worker_->wait();
        delete worker_;
        worker_ = nullptr;
    }
    switch (outcome.result) {
    case FormatOutcome::Result::Formatted:
        progress->setValue(100);
        status->setText(context_.text(232));
        labelValue->setText(MediaIdentity::identify(device_).VolumeLabel);
        break;
    case FormatOutcome::Result::Refused:
        status->setText(context_.text(233) + '\n' + outcome.reason);
        break;
    case FormatOutcome::Result::Unreadable:
        status->setText(context_.text(249) + context_.text(250) +
                        QString::number(outcome.unreadableSectors));
        break;
    case FormatOutcome::Result::Failed:
        status->setText(context_.text(249) + outcome.reason);
        break;
    case FormatOutcome::Result::Stopped:
        status->clear();
        break;
    }
    setBusy(false);
    emit formatEnded(outcome);
}

void FormatDialog::waitForFormat() {
    while (worker_) {
        QEventLoop loop;
        connect(this, &FormatDialog::formatEnded, &loop, &QEventLoop::quit);
        if (worker_)
            loop.exec();
    }
}

void FormatDialog::reject() {
    // A sector check is stopped; a file system being written is finished first.
    if (worker_) {
        stop_ = true;
        waitForFormat();
    }
    QDialog::reject();
}

} // namespace fr

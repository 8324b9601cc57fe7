#include "core/TForm1.h"

#include "core/ProgramContext.h"
#include "core/SettingsApplication.h"
#include "platform/Platform.h"
#include "platform/Prompts.h"
#include "platform/SingleInstance.h"
#include "rescue/JobControl.h"
#include "widgets/ClickableLabel.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <chrono>
#include <cstdio>

namespace fr {

TForm1::TForm1(ProgramContext& context, SingleInstance& instance, QStringList arguments,
               QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), context_(context), instance_(instance),
      arguments_(std::move(arguments)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QLatin1String(kTitle));
    setFixedSize(500, 330);
    // Arial 8 points at the usual 96 dots per inch: the layout is measured in pixels.
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    setFont(font);
    createControls();

    Timer3 = new QTimer(this);
    Timer3->setObjectName(QStringLiteral("Timer3"));
    Timer3->setInterval(250);
    connect(Timer3, &QTimer::timeout, this, &TForm1::Timer3Timer);
    connect(&instance_, &SingleInstance::handOffReceived, this, &TForm1::restoreFromHandOff);
}

TForm1::~TForm1() {
    FormDestroy();
}

void TForm1::createControls() {
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(155, 70, 313, 22);
    QFont titleFont(QStringLiteral("Tahoma"));
    titleFont.setBold(true);
    titleFont.setPixelSize(16);
    Label1->setFont(titleFont);

    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(210, 112, 208, 88);
    Label2->setWordWrap(true);
    Label2->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    Label3 = new QLabel(this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setGeometry(210, 200, 206, 90);
    Label3->setWordWrap(true);
    Label3->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    // The title-area pictures; their skin bitmaps replace these marks when the skin is loaded.
    const auto picture = [this](const char* name, const QString& mark, int left) {
        auto* image = new ClickableLabel(mark, this);
        image->setObjectName(QLatin1String(name));
        image->setGeometry(left, 5, 16, 14);
        image->setAlignment(Qt::AlignCenter);
        image->setCursor(Qt::PointingHandCursor);
        return image;
    };
    Image5 = picture("Image5", QStringLiteral("?"), 444);
    Image1 = picture("Image1", QStringLiteral("\u2013"), 460);
    Image2 = picture("Image2", QStringLiteral("\u00d7"), 476);
    connect(Image1, &ClickableLabel::clicked, this, &QWidget::showMinimized);
    connect(Image2, &ClickableLabel::clicked, this, &TForm1::SpeedButton10Click);
}

QString TForm1::FormCreate() {
    QString listenError;
    if (!instance_.listen(&listenError))
        std::fprintf(stderr, "fragmentrove: a second copy cannot hand over to this one: %s\n",
                     qUtf8Printable(listenError));
    context_.random.seed(static_cast<std::mt19937::result_type>(
        std::chrono::system_clock::now().time_since_epoch().count()));

    if (QString error = SettingsApplication::applyAtStartup(context_); !error.isEmpty())
        return error;
    applyCaptions();
    Timer3->start();
    return {};
}

void TForm1::reapplySettings() {
    if (QString error = SettingsApplication::reapply(context_); !error.isEmpty()) {
        context_.prompts.error(error);
        return;
    }
    applyCaptions();
}

void TForm1::applyCaptions() {
    Label1->setText(context_.text(0));
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    Label2->setText(context_.text(1));
    Label3->setText(context_.text(2));
    setToolTip(context_.text(132));
    Image1->setToolTip(context_.text(213));
    Image2->setToolTip(context_.text(214));
    Image5->setToolTip(context_.text(220));
}

void TForm1::Timer3Timer() {
    Timer3->stop();
    if (arguments_.value(0) == QLatin1String("explore"))
        emit exploreRequested();
}

void TForm1::SpeedButton10Click() {
    if (jobControl_ && jobControl_->jobRunning()) {
        jobControl_->togglePause();
        if (!context_.prompts.confirm(context_.text(62))) {
            jobControl_->togglePause();
            return;
        }
        jobControl_->stopJob();
    }
    context_.platform.exitNow(0);
}

void TForm1::restoreFromHandOff() {
    showNormal();
    raise();
    activateWindow();
}

void TForm1::showEvent(QShowEvent* event) {
    if (!centred_) {
        centred_ = true;
        if (const QScreen* screen = this->screen())
            move(screen->availableGeometry().center() - rect().center());
    }
    QWidget::showEvent(event);
}

void TForm1::closeEvent(QCloseEvent* event) {
    FormDestroy();
    QWidget::closeEvent(event);
}

void TForm1::FormDestroy() {
    instance_.stopListening();
}

} // namespace fr

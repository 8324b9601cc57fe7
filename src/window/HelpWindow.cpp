#include "window/HelpWindow.h"

#include <QColor>
#include <QFile>
#include <QPalette>
#include <QScreen>
#include <QScrollBar>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

namespace fr {

QPoint helpPlacement(const QRect& mainFrame, const QSize& helpFrame, const QRect& available) {
    constexpr int kGap = 8;
    const auto within = [](int value, int low, int high) {
        return std::max(low, std::min(value, high));
    };
    const int lowestTop = available.bottom() + 1 - helpFrame.height();
    const int top = within(mainFrame.top(), available.top(), lowestTop);
    const int right = mainFrame.right() + 1 + kGap;
    if (right + helpFrame.width() <= available.right() + 1)
        return {right, top};
    const int left = mainFrame.left() - kGap - helpFrame.width();
    if (left >= available.left())
        return {left, top};
    const QPoint centred = mainFrame.center() - QPoint(helpFrame.width(), helpFrame.height()) / 2;
    return {within(centred.x(), available.left(), available.right() + 1 - helpFrame.width()),
            within(centred.y(), available.top(), lowestTop)};
}

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window), browser_(new QTextBrowser) {
    setObjectName(QStringLiteral("HelpWindow"));
    // Closing the main window ends the program even while the help is still open.
    setAttribute(Qt::WA_QuitOnClose, false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
    // Links to the product's site leave for the browser; links between topics stay here.
    browser_->setOpenExternalLinks(true);
    resize(640, 520);
}

void HelpWindow::setColours(const QColor& background, const QColor& text) {
    QPalette colours = browser_->palette();
    colours.setColor(QPalette::Base, background);
    colours.setColor(QPalette::Text, text);
    browser_->setPalette(colours);
}

void HelpWindow::showHelp(const QString& file, const QString& topic, const QWidget* beside) {
    if (!placed_ && beside && beside->screen()) {
        placed_ = true;
        // The frame is not known before the first show: the main window's margins stand in.
        const QSize frame = size() + (beside->frameGeometry().size() - beside->size());
        move(helpPlacement(beside->frameGeometry(), frame, beside->screen()->availableGeometry()));
    }
    // Shown first: the browser can only move to a topic once it has its size.
    show();
    raise();
    activateWindow();
    QFile help(file);
    if (!help.open(QIODevice::ReadOnly)) {
        error_ = file + QStringLiteral(": ") + help.errorString();
        browser_->setSource(QUrl());
        browser_->setPlainText(error_);
    } else {
        error_.clear();
        help.close();
        QUrl url = QUrl::fromLocalFile(file);
        // Asked again for the same file, the browser only moves to the topic; a file replaced
        // by a newer shipped copy is read afresh.
        browser_->setSource(QUrl());
        url.setFragment(topic.isEmpty() ? QString() : topic);
        // The help files end in ".hlp": say that they are HTML.
        browser_->setSource(url, QTextDocument::HtmlResource);
        if (topic.isEmpty())
            browser_->verticalScrollBar()->setValue(0);
    }
}

} // namespace fr

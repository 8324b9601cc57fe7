#include "window/HelpWindow.h"

#include <QColor>
#include <QFile>
#include <QPalette>
#include <QScrollBar>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace fr {

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

void HelpWindow::showHelp(const QString& file, const QString& topic) {
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

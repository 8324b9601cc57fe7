#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>

class QColor;
class QTextBrowser;

namespace fr {

// Where the help window first opens: beside the main window's frame, on its right or else on
// its left, so that the page it explains stays in view; centred on it where neither side has
// room; always within the screen's free area.
QPoint helpPlacement(const QRect& mainFrame, const QSize& helpFrame, const QRect& available);

// The help viewer: one help file of the program (HTML, whatever its name ends in) in a
// window of its own, opened at a topic, with the file's own links to move between topics.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // Shows the file from its beginning, or at the anchor named topic, and brings the window
    // forward. A file that cannot be read is shown as its name and the reason instead. The
    // first time, the window opens beside `beside`; later it stays where the user put it.
    void showHelp(const QString& file, const QString& topic, const QWidget* beside = nullptr);

    // The skin's input colours: the help reads like the rest of the program.
    void setColours(const QColor& background, const QColor& text);

    QTextBrowser* browser() const { return browser_; }
    // Empty while the file shown could be read.
    QString error() const { return error_; }

private:
    QTextBrowser* browser_;
    QString error_;
    bool placed_ = false;
};

} // namespace fr

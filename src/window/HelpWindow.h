#pragma once

#include <QString>
#include <QWidget>

class QColor;
class QTextBrowser;

namespace fr {

// The help viewer: one help file of the program (HTML, whatever its name ends in) in a
// window of its own, opened at a topic, with the file's own links to move between topics.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // Shows the file from its beginning, or at the anchor named topic, and brings the window
    // forward. A file that cannot be read is shown as its name and the reason instead.
    void showHelp(const QString& file, const QString& topic);

    // The skin's input colours: the help reads like the rest of the program.
    void setColours(const QColor& background, const QColor& text);

    QTextBrowser* browser() const { return browser_; }
    // Empty while the file shown could be read.
    QString error() const { return error_; }

private:
    QTextBrowser* browser_;
    QString error_;
};

} // namespace fr

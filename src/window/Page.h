#pragma once

#include <QObject>

namespace fr {

class FlatButton;
class TForm1;

// One page of the main window. The dispatcher lays out the shared controls for the page's
// command and attaches its actions; the page's class then fills in what it keeps (a list
// read from its file, the open tab) and handles its actions, which it registers with the
// window itself (TForm1::setHandler) under the designers' handler names.
class Page : public QObject {
    Q_OBJECT
public:
    // command is the one of the ten command buttons that opens this page.
    Page(TForm1& form, FlatButton* command);

    FlatButton* command() const { return command_; }

protected:
    // This page has just been laid out by the dispatcher.
    virtual void opened() {}
    // Another page has been laid out over this one's controls.
    virtual void left() {}

private:
    FlatButton* command_;
};

} // namespace fr

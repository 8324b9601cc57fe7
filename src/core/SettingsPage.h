#pragma once

#include <QObject>

namespace fr {

class FlatButton;
class TForm1;
struct ProgramContext;

// The settings page: three tabs (general, copy, MP3) that share the window's combo boxes and
// check boxes. The open tab is marked by its tab button's bold caption.
class SettingsPage : public QObject {
    Q_OBJECT
public:
    enum class Tab { General, Copy, Mp3 };

    SettingsPage(TForm1& form, ProgramContext& context);

    // Opens the page after the dispatcher's reset: its tab buttons, then the general tab.
    void open();
    void SpeedButton27Click(); // general tab
    void SpeedButton34Click(); // copy tab
    void SpeedButton35Click(); // MP3 tab

    bool isMarked(Tab tab) const;

private:
    FlatButton* tabButton(Tab tab) const;
    void mark(Tab tab);
    void showTab(Tab tab);

    TForm1& form_;
    ProgramContext& context_;
};

} // namespace fr

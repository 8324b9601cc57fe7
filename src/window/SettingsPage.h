#pragma once

#include "window/Page.h"

#include <initializer_list>

namespace fr {

class TLameCoder;

class FlatButton;
class TForm1;
struct ProgramContext;

// The settings page: three tabs (general, copy, MP3) that share the window's combo boxes and
// check boxes. The open tab is marked by its tab button's bold caption.
class SettingsPage : public Page {
    Q_OBJECT
public:
    enum class Tab { General, Copy, Mp3 };

    // `encoder` takes the MP3 settings when they are saved.
    SettingsPage(TForm1& form, ProgramContext& context, TLameCoder& encoder);

    // Opens the page after the dispatcher's reset: its tab buttons, then the general tab.
    void open();
    void SpeedButton27Click(); // general tab
    void SpeedButton34Click(); // copy tab
    void SpeedButton35Click(); // MP3 tab
    void CheckBox4Click();
    // Saves every tab's values to settings.ini and shows the welcome page in the chosen
    // language.
    void Nastavenia();

    bool isMarked(Tab tab) const;
    // Takes the values a tab shows into the settings.
    void harvestTab(Tab tab);

    // The name the media manager starts under with the session.
    static constexpr const char* kAutostartName = "Fragmentrove 3 (media manager)";

protected:
    void opened() override { open(); }
    // Another page refills the shared lists: a marked tab would later harvest its items.
    void left() override;

private:
    FlatButton* tabButton(Tab tab) const;
    void mark(Tab tab);
    void unmark(Tab tab);
    // The tab action: harvests the other marked tabs (in this order), then opens the tab.
    void openTab(Tab tab, std::initializer_list<Tab> othersInOrder);
    void showTab(Tab tab);

    TForm1& form_;
    ProgramContext& context_;
    TLameCoder& encoder_;
};

} // namespace fr

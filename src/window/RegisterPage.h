#pragma once

#include "window/Page.h"

namespace fr {

class TForm1;
class TForm2;
struct ProgramContext;

// The register of damaged media as a page of the main window: lists the registered media,
// shows and edits an entry's note, removes entries and opens the medium test. List line i
// always stands for entry i of the register file.
class RegisterPage : public Page {
    Q_OBJECT
public:
    RegisterPage(TForm1& form, ProgramContext& context);

    // The medium-test dialog is created after the main window; a medium it registers brings
    // this page up.
    void setTestDialog(TForm2* dialog);

    // Fills the page after the dispatcher has laid it out.
    void open();
    void posk();               // an entry was selected: show it
    void SpeedButton24Click(); // save the note of the selected entry
    void SpeedButton25Click(); // remove the selected entry
    void checkni();            // test the medium in a drive

protected:
    void opened() override { open(); }

private:
    TForm1& form_;
    ProgramContext& context_;
    TForm2* testDialog_ = nullptr;
};

} // namespace fr

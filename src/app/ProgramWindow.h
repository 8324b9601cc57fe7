#pragma once

#include "audio/CdRipLibrary.h"
#include "audio/TCDRIP.h"
#include "audio/TLameCoder.h"
#include "window/QtFileDialogs.h"

#include <QString>
#include <QStringList>
#include <memory>

namespace fr {

class CopyFilesPage;
class CopyMusicPage;
class DiskImagePage;
class FolderChoice;
class FormatDialog;
class FormatPage;
class HelpWindow;
class JobControls;
class JournalPage;
class RegisterPage;
class SectorViewerPage;
class SecureDeletionPage;
class SettingsPage;
class SingleInstance;
class TForm1;
class TForm2;
class UpdateCheck;
class Tid3form;
class WholeMediumPage;
struct ProgramContext;

// The program's windows, assembled: the main window, the class of each page wired to it
// and to each other, and the two dialogs. The one place that knows every page; the main
// window itself knows none of them.
class ProgramWindow {
public:
    // arguments are the command-line arguments after the program name. Until the context
    // has file dialogs of its own (a test's), the pages get Qt's.
    ProgramWindow(ProgramContext& context, SingleInstance& instance, QStringList arguments);
    ~ProgramWindow();
    ProgramWindow(const ProgramWindow&) = delete;
    ProgramWindow& operator=(const ProgramWindow&) = delete;

    // The main window's set-up, then the dialogs drawn in its skin. Returns the reason when
    // a file of the program cannot be used, empty on success.
    QString create();

    TForm1& form() const { return *form_; }
    SettingsPage* settingsPage() const { return settingsPage_; }
    RegisterPage* registerPage() const { return registerPage_; }
    JobControls* jobControls() const { return jobControls_; }
    CopyFilesPage* copyFilesPage() const { return copyFilesPage_; }
    CopyMusicPage* copyMusicPage() const { return copyMusicPage_; }
    JournalPage* journalPage() const { return journalPage_; }
    WholeMediumPage* wholeMediumPage() const { return wholeMediumPage_; }
    DiskImagePage* diskImagePage() const { return diskImagePage_; }
    FormatPage* formatPage() const { return formatPage_; }
    FormatDialog* formatDialog() const { return formatDialog_.get(); }
    SectorViewerPage* sectorViewerPage() const { return sectorViewerPage_; }
    SecureDeletionPage* secureDeletionPage() const { return secureDeletionPage_; }
    TForm2* form2() const { return form2_.get(); }
    Tid3form* id3form() const { return id3form_.get(); }
    UpdateCheck* updateCheck() const { return updateCheck_; }
    HelpWindow* helpWindow() const { return helpWindow_.get(); }

    // The MP3 encoder the settings configure, and the CD ripper that feeds it (made by create()).
    TLameCoder& encoder() { return lameCoder1_; }
    TCDRIP* ripper() const { return cdrip1_.get(); }

private:
    void journalInterruptedJobsOnShow();
    ProgramContext& context_;
    QtFileDialogs qtFileDialogs_;
    // The audio engines only the window uses: the encoder, the library of CD drives and the
    // ripper over them. Made before the pages, which are bound to them, and gone after them.
    TLameCoder lameCoder1_;
    std::unique_ptr<CdRipLibrary> cdRipLibrary_;
    std::unique_ptr<TCDRIP> cdrip1_;
    std::unique_ptr<TForm1> form_;
    // The pages are children of the main window; they go just before it (see the destructor).
    SettingsPage* settingsPage_ = nullptr;
    RegisterPage* registerPage_ = nullptr;
    JobControls* jobControls_ = nullptr;
    CopyFilesPage* copyFilesPage_ = nullptr;
    CopyMusicPage* copyMusicPage_ = nullptr;
    JournalPage* journalPage_ = nullptr;
    WholeMediumPage* wholeMediumPage_ = nullptr;
    DiskImagePage* diskImagePage_ = nullptr;
    FormatPage* formatPage_ = nullptr;
    SectorViewerPage* sectorViewerPage_ = nullptr;
    SecureDeletionPage* secureDeletionPage_ = nullptr;
    UpdateCheck* updateCheck_ = nullptr;
    std::unique_ptr<TForm2> form2_;
    std::unique_ptr<FolderChoice> folderChoice_;
    std::unique_ptr<Tid3form> id3form_;
    std::unique_ptr<FormatDialog> formatDialog_;
    std::unique_ptr<HelpWindow> helpWindow_;
};

} // namespace fr

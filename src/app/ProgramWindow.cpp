#include "app/ProgramWindow.h"

#include "audio/EncoderSettings.h"
#include "audio/MainComponents.h"
#include "audio/ParanoiaRipLibrary.h"
#include "core/ProgramContext.h"
#include "platform/ConnectionState.h"
#include "platform/DriveMap.h"
#include "platform/Prompts.h"
#include "rescue/InterruptedJobs.h"
#include "window/CopyFilesPage.h"
#include "window/CopyMusicPage.h"
#include "window/DiskImagePage.h"
#include "window/FolderChoice.h"
#include "window/FormatDialog.h"
#include "window/FormatPage.h"
#include "window/HelpWindow.h"
#include "window/JobControls.h"
#include "window/JournalPage.h"
#include "window/RegisterPage.h"
#include "window/SectorViewerPage.h"
#include "window/SecureDeletionPage.h"
#include "window/SettingsPage.h"
#include "window/TForm1.h"
#include "window/TForm2.h"
#include "window/Tid3form.h"
#include "window/UpdateCheck.h"
#include "window/WholeMediumPage.h"

namespace fr {

ProgramWindow::ProgramWindow(ProgramContext& context, SingleInstance& instance,
                             QStringList arguments)
    : context_(context) {
    configureLameCoder1(lameCoder1_);
    if (!context_.fileDialogs)
        context_.fileDialogs = &qtFileDialogs_;
    form_ = std::make_unique<TForm1>(context_, instance, std::move(arguments));
    TForm1& form = *form_;
    settingsPage_ = new SettingsPage(form, context_, lameCoder1_);
    registerPage_ = new RegisterPage(form, context_);
    jobControls_ = new JobControls(form, context_);
    copyFilesPage_ = new CopyFilesPage(form, context_, *jobControls_);
    // A stopped copy is finished through the copy page's own start.
    journalPage_ = new JournalPage(form, context_, *copyFilesPage_);
    wholeMediumPage_ = new WholeMediumPage(form, context_, *jobControls_);
    diskImagePage_ = new DiskImagePage(form, context_, *jobControls_);
    copyMusicPage_ = new CopyMusicPage(form, context_, *settingsPage_);
    formatPage_ = new FormatPage(form);
    sectorViewerPage_ = new SectorViewerPage(form, context_);
    secureDeletionPage_ = new SecureDeletionPage(form, context_);
    // A stopped image job is finished through the image page's own start.
    journalPage_->setImageResume([page = diskImagePage_](JournalPage::ImageDirection direction,
                                                         QChar drive, const QString& imageFile) {
        return page->resume(direction, drive, imageFile);
    });
    // Queued: the window is drawn and answers before the check makes its first request.
    updateCheck_ = new UpdateCheck(context_, UpdateCheck::Server::fromEnvironment(),
                                   &ConnectionState::online, &form);
    QObject::connect(&form, &TForm1::firstShown, updateCheck_, &UpdateCheck::checkUpdate,
                     Qt::QueuedConnection);
    // The help has a window of its own, so the page it explains stays in view beside it.
    helpWindow_ = std::make_unique<HelpWindow>();
    QObject::connect(&form, &TForm1::helpRequested, helpWindow_.get(),
                     [this](const QString& file, const QString& topic) {
                         // The system adds the program's name to every title of its windows.
                         helpWindow_->setWindowTitle(context_.text(12));
                         helpWindow_->setColours(form_->skin().colourA, form_->skin().colourB);
                         helpWindow_->showHelp(file, topic, form_.get());
                     });
}

ProgramWindow::~ProgramWindow() {
    // The dialogs go before the window whose skin they were drawn in.
    helpWindow_.reset();
    formatDialog_.reset();
    id3form_.reset();
    folderChoice_.reset();
    form2_.reset();
    // The pages go while the main window is still whole: as its children they would go only
    // after its own destructor, while its controls are torn down, and the events of that
    // teardown would reach their filters on controls of a window that no longer exists. Later
    // pages lean on earlier ones (the journal on the copy page, jobs on the job controls), so
    // they go in the reverse order of their making.
    form_->setJobControl(nullptr);
    QObject* const pages[] = {secureDeletionPage_, sectorViewerPage_, formatPage_,  copyMusicPage_,
                              diskImagePage_,      wholeMediumPage_,  journalPage_, copyFilesPage_,
                              jobControls_,        registerPage_,     settingsPage_};
    for (QObject* page : pages)
        delete page;
    form_.reset();
    if (context_.fileDialogs == &qtFileDialogs_)
        context_.fileDialogs = nullptr;
}

QString ProgramWindow::create() {
    if (QString error = form_->FormCreate(); !error.isEmpty())
        return error;
    // The MP3 fields of the settings just read go to the encoder.
    applyEncoderSettings(context_.settings, lameCoder1_);
    // The ripper reads the first disc's tracks, titled in the language just loaded.
    cdRipLibrary_ = std::make_unique<ParanoiaRipLibrary>(
        ParanoiaRipLibrary::cdDrivesOf(DriveMap::build(context_.programDir)));
    cdrip1_ = createCdrip1(*cdRipLibrary_, lameCoder1_,
                           [&context = context_] { return context.text(84); });
    copyMusicPage_->bindRipper(*cdrip1_);
    form2_ = std::make_unique<TForm2>(context_, form_->skin());
    registerPage_->setTestDialog(form2_.get());
    // The whole-medium and copy-music pages choose their folders in the same dialog.
    folderChoice_ = std::make_unique<FolderChoice>(*form_, *form2_);
    id3form_ = std::make_unique<Tid3form>(context_, form_->skin());
    copyMusicPage_->setId3Dialog(id3form_.get());
    formatDialog_ = std::make_unique<FormatDialog>(context_, form_->skin(), form_.get());
    formatPage_->setDialogOpener([this](int driveIndex, unsigned options) {
        formatDialog_->openFor(form_.get(), driveIndex, options);
    });
    journalInterruptedJobsOnShow();
    return {};
}

void ProgramWindow::journalInterruptedJobsOnShow() {
    // A job that was running when the program ended (killed, a crash, a power cut) goes into
    // the journal now, where its data on disk ends; the user hears of it once the window is
    // there to show it.
    const InterruptedJobs interrupted =
        journalInterruptedJobs(context_.programDir, context_.file(QStringLiteral("databaza.fgv")));
    if (interrupted.journalled.empty() && interrupted.errors.isEmpty())
        return;
    QObject::connect(
        form_.get(), &TForm1::firstShown, form_.get(),
        [this, interrupted] {
            for (const QString& error : interrupted.errors)
                context_.prompts.error(error);
            if (!interrupted.journalled.empty())
                context_.prompts.information(context_.text(275));
        },
        Qt::QueuedConnection);
}

} // namespace fr

#pragma once

#include "window/Page.h"

#include <functional>

namespace fr {

class CopyFilesPage;
class TForm1;
struct ProgramContext;

// The journal of stopped copies: lists them, shows how far each got and whether its files
// are still as they were, lets the user correct the paths, remove entries and resume them.
class JournalPage : public Page {
    Q_OBJECT
public:
    JournalPage(TForm1& form, ProgramContext& context, CopyFilesPage& copyFiles);

    // A stopped image job resumes through the disk-image page: the direction, the drive and
    // the image file. Returns whether the job started.
    enum class ImageDirection { MediumToImage, ImageToMedium };
    using ImageResume = std::function<bool(ImageDirection, QChar drive, const QString& imageFile)>;
    void setImageResume(ImageResume resume) { imageResume_ = std::move(resume); }

    void showPage();           // after the dispatcher's layout of the journal page
    void CheckListBox1Click(); // selection
    void SpeedButton20Click(); // resume
    void SpeedButton21Click(); // save the two paths
    void SpeedButton22Click(); // remove the selected entry
    void removeSelected(bool showAgain);

protected:
    void opened() override { showPage(); }

private:
    int selectedRow() const;
    QString journalPath() const;

    TForm1& form_;
    ProgramContext& context_;
    CopyFilesPage& copyFiles_;
    ImageResume imageResume_;
};

} // namespace fr

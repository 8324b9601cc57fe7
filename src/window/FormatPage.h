#pragma once

#include "window/Page.h"

#include <QString>
#include <functional>

namespace fr {

class TForm1;

// The format page: hands the drive chosen in the drive list to the format dialog. A drive that
// holds the running system or this program's folder is never offered: the button is disabled
// and the page says why.
class FormatPage : public Page {
    Q_OBJECT
public:
    // Opens the format dialog for a 0-based drive index (A: is 0) with its options.
    using DialogOpener = std::function<void(int driveIndex, unsigned options)>;

    explicit FormatPage(TForm1& form);

    void setDialogOpener(DialogOpener opener) { openDialog_ = std::move(opener); }

    // The page's action: the dialog opens with a full format preselected.
    void Formating();

protected:
    void opened() override;
    void left() override;

private:
    // Why the chosen drive must not be formatted (the page's text and the volume's reason);
    // empty when it may be.
    QString refusal() const;
    // Enables the button for the chosen drive, or disables it and shows why.
    void showChosenDrive();

    TForm1& form_;
    DialogOpener openDialog_;
    bool shown_ = false;
};

} // namespace fr

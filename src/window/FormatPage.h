#pragma once

#include "window/Page.h"

#include <functional>

namespace fr {

class TForm1;

// The format page: hands the drive chosen in the drive list to the format dialog.
class FormatPage : public Page {
    Q_OBJECT
public:
    // Opens the format dialog for a 0-based drive index (A: is 0) with its options.
    using DialogOpener = std::function<void(int driveIndex, unsigned options)>;

    explicit FormatPage(TForm1& form);

    void setDialogOpener(DialogOpener opener) { openDialog_ = std::move(opener); }

    // The page's action: the dialog opens with a full format preselected.
    void Formating();

private:
    TForm1& form_;
    DialogOpener openDialog_;
};

} // namespace fr

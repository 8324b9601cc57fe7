#pragma once

#include "window/Page.h"

namespace fr {

class TForm1;
struct ProgramContext;

// The secure-deletion page: the file named in the path field is overwritten three times and
// deleted. There is no question first: the page's own command is the user's decision.
class SecureDeletionPage : public Page {
    Q_OBJECT
public:
    SecureDeletionPage(TForm1& form, ProgramContext& context);

    void locking(); // overwrite and delete the file named in Edit2

private:
    TForm1& form_;
    ProgramContext& context_;
};

} // namespace fr

#include "window/Page.h"

#include "widgets/FlatButton.h"
#include "window/TForm1.h"

namespace fr {

Page::Page(TForm1& form, FlatButton* command) : QObject(&form), command_(command) {
    connect(&form, &TForm1::pageOpened, this, [this](FlatButton* opened) {
        if (opened == command_)
            this->opened();
        else
            left();
    });
}

} // namespace fr

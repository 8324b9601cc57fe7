#pragma once

#include <QDialog>

namespace fr {

struct ProgramContext;

// The dialog that edits the ID3 tags of the tracks to be ripped.
class Tid3form : public QDialog {
    Q_OBJECT
public:
    explicit Tid3form(ProgramContext& context, QWidget* parent = nullptr);

private:
    ProgramContext& context_;
};

} // namespace fr

#pragma once

#include <QDialog>

namespace fr {

struct ProgramContext;

// The small dialog that chooses a folder and tests a medium sector by sector.
class TForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(ProgramContext& context, QWidget* parent = nullptr);

private:
    ProgramContext& context_;
};

} // namespace fr

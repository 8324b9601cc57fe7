#pragma once

#include <QDialog>

namespace fr {

struct ProgramContext;
struct Skin;

// The small dialog that chooses a folder and tests a medium sector by sector.
class TForm2 : public QDialog {
    Q_OBJECT
public:
    TForm2(ProgramContext& context, const Skin& skin, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ProgramContext& context_;
    const Skin& skin_;
};

} // namespace fr

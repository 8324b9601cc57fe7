#pragma once

#include <QDialog>

namespace fr {

struct ProgramContext;
struct Skin;

// The dialog that edits the ID3 tags of the tracks to be ripped.
class Tid3form : public QDialog {
    Q_OBJECT
public:
    Tid3form(ProgramContext& context, const Skin& skin, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ProgramContext& context_;
    const Skin& skin_;
};

} // namespace fr

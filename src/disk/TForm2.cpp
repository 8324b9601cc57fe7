#include "disk/TForm2.h"

namespace fr {

TForm2::TForm2(ProgramContext& context, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), context_(context) {
    setObjectName(QStringLiteral("Form2"));
    setFixedSize(200, 150);
}

} // namespace fr

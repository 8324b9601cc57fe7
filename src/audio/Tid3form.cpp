#include "audio/Tid3form.h"

namespace fr {

Tid3form::Tid3form(ProgramContext& context, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), context_(context) {
    setObjectName(QStringLiteral("id3form"));
    setFixedSize(300, 220);
}

} // namespace fr

#include "window/QtPrompts.h"

#include <QApplication>
#include <QMessageBox>

namespace fr {

namespace {

QMessageBox::Icon iconOf(PromptKind kind) {
    switch (kind) {
    case PromptKind::Information:
        return QMessageBox::Information;
    case PromptKind::Warning:
        return QMessageBox::Warning;
    case PromptKind::Error:
        return QMessageBox::Critical;
    case PromptKind::Confirmation:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

} // namespace

PromptAnswer QtPrompts::show(PromptKind kind, const QString& text, PromptButtons buttons) {
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace('\r', '\n');

    const QMessageBox::StandardButtons choice = buttons == PromptButtons::YesNo
                                                    ? (QMessageBox::Yes | QMessageBox::No)
                                                    : QMessageBox::StandardButtons(QMessageBox::Ok);
    QMessageBox box(iconOf(kind), QApplication::applicationDisplayName(), shown, choice,
                    QApplication::activeWindow());
    const int answer = box.exec();
    if (buttons == PromptButtons::Ok)
        return PromptAnswer::Ok;
    return answer == QMessageBox::Yes ? PromptAnswer::Yes : PromptAnswer::No;
}

} // namespace fr

#pragma once

#include <QString>
#include <QStringList>

namespace fr {

// Shown to a user without the rights to read disks directly, before any language is known,
// so it speaks the program's first three languages at once.
inline QString adminRequiredMessage() {
    return QStringList{
        QStringLiteral("..:: slovensky ::.."),
        QStringLiteral("Fragmentrove 3 vyžaduje k svojmu správenmu fungovaniu prihláseného "
                       "užívateľa s administrátorskými právami. Prihláste sa preto prosím ako "
                       "administrátor."),
        QString(),
        QStringLiteral("..:: česky ::.."),
        QStringLiteral("Fragmentrove 3 vyžaduje ke svému správenmu fungování přihlašeneho "
                       "užívatele s administrátorskými právy. Přihlašte se proto prosím jako "
                       "administrátor."),
        QString(),
        QStringLiteral("..:: english ::.."),
        QStringLiteral("Fragmentrove 3 requires an administrator rights to run correctly. Please "
                       "login as an administrator and try again.")}
        .join('\n');
}

} // namespace fr

#include "window/SecureDeletionPage.h"

#include "core/ProgramContext.h"
#include "platform/DriveMap.h"
#include "platform/Prompts.h"
#include "rescue/SecureWipe.h"
#include "window/TForm1.h"

#include <QGuiApplication>
#include <QLineEdit>

namespace fr {

SecureDeletionPage::SecureDeletionPage(TForm1& form, ProgramContext& context)
    : Page(form, form.SpeedButton10), form_(form), context_(context) {
    form_.setHandler(PageAction::SecureDelete, [this] { locking(); });
}

void SecureDeletionPage::locking() {
    const QString path = form_.Edit2->text();
    if (path.isEmpty()) {
        context_.prompts.information(context_.text(163)); // choose the file first
        return;
    }
    const QString native = DriveMap::build(context_.programDir).toNative(path);
    const WipeTarget target = wipeTargetOf(native);
    switch (target.kind) {
    case WipeTargetKind::Missing:
    case WipeTargetKind::Folder:
        context_.prompts.information(context_.text(164)); // no such file
        return;
    case WipeTargetKind::SymbolicLink:
        // Wiping through a link would destroy the file it points to and leave the link.
        context_.prompts.error(context_.text(241) + '\n' + path + QStringLiteral(" -> ") +
                               target.linkTarget);
        return;
    case WipeTargetKind::NotAFile:
        context_.prompts.error(context_.text(241)); // a device, pipe or socket
        return;
    case WipeTargetKind::File:
        break;
    }
    // The window waits for the passes; the busy pointer says why it does not answer meanwhile.
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const WipeOutcome outcome = wipeFile(native, context_.random);
    QGuiApplication::restoreOverrideCursor();
    switch (outcome.stage) {
    case WipeStage::Wiped:
        // Its other names still show the file, now holding nothing but the last pass.
        context_.prompts.information(outcome.otherNames > 0
                                         ? context_.text(177) + '\n' + context_.text(266) +
                                               QString::number(outcome.otherNames)
                                         : context_.text(177));
        form_.Edit2->clear();
        return;
    case WipeStage::DeletionFailed:
        // The contents are gone, but the name remains: the path stays for another try.
        context_.prompts.warning(context_.text(229) + '\n' + path + '\n' + outcome.reason);
        return;
    case WipeStage::NotOpened:
    case WipeStage::PassFailed:
    case WipeStage::Stopped: // the window has no stop during the passes
        context_.prompts.error(context_.text(240) + '\n' + path + '\n' + outcome.reason);
        return;
    }
}

} // namespace fr

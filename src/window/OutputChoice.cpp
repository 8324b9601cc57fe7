#include "window/OutputChoice.h"

#include "core/ProgramContext.h"
#include "platform/Prompts.h"
#include "platform/ShownPath.h"

namespace fr {

QString chooseOutputFile(const ProgramContext& context, const QString& chosenPath,
                         const OutputRules& rules) {
    const OutputTarget target = checkOutputTarget(chosenPath, rules);
    const QString shown =
        shownPath(target.path.isEmpty() ? chosenPath : target.path, context.programDir);
    if (target.verdict == OutputTarget::Verdict::Refused) {
        context.prompts.error(context.text(target.text) + '\r' + shown);
        return {};
    }
    if (target.verdict == OutputTarget::Verdict::Ask &&
        !context.prompts.confirm(shown + QStringLiteral(": ") + context.text(target.text)))
        return {};
    return target.path;
}

} // namespace fr

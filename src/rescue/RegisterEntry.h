#pragma once

#include <QChar>
#include <QString>
#include <functional>

namespace fr {

struct ProgramContext;

// Registers the medium in drive `letter` as damaged, without a question and without looking
// for an entry it may already have: a rescue copy that met unreadable places does this just
// before it switches the computer off. stopMonitor stops the job monitor first, so that the
// monitor does not offer the same registration afterwards; it may be empty.
//
// Safe to call from a job thread. Returns why the register could not be written, or empty.
QString addRegisterEntry(ProgramContext& context, QChar letter, const QString& note,
                         const std::function<void()>& stopMonitor = {});

} // namespace fr

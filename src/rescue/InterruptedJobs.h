#pragma once

#include "core/CopyJob.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace fr {

// Jobs that were running when the program ended without journalling them (killed, crashed, the
// power cut): each left its running record in the maps folder with the position it had
// committed. Moves every record no running job holds into the journal, at the start of the
// window and of the command line, so that the job appears in the journal and resumes where its
// data on disk ends. A journal entry of the same job (a stop that was journalled before the end
// came) is brought up to the record's position instead of getting a twin.
struct InterruptedJobs {
    // The jobs the journal did not hold and now does; an entry brought up to date is not one.
    std::vector<CopyJob> journalled;
    QStringList errors; // records that could not be journalled: file and reason
};
InterruptedJobs journalInterruptedJobs(const QString& programDir, const QString& journalPath);

} // namespace fr

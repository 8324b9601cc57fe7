#include "rescue/RegisterEntry.h"

#include "core/ProgramContext.h"
#include "rescue/RegisterRecord.h"

namespace fr {

QString addRegisterEntry(ProgramContext& context, QChar letter, const QString& note,
                         const std::function<void()>& stopMonitor) {
    if (stopMonitor)
        stopMonitor();
    // A drive without a medium gives serial 0 and no label; it is registered all the same.
    const TMediaIdentifier identity = context.disk.GetMediaIdentifier(letter);
    RegisterRecord record;
    record.serialText = RegisterRecord::serialTextOf(identity.SerialNumber);
    record.volumeLabel = identity.VolumeLabel.isEmpty() ? context.text(167) : identity.VolumeLabel;
    record.note = note;
    return RegisterFile(context).append(record);
}

} // namespace fr
